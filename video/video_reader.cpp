#include "video/video_api.h"

extern "C" {

void InitProc(VideoFrameCallback, void*) {}
int ReadVideoImage(const char*, int, int, std::uint32_t*) {
  return 0;
}
void BreakTran(void) {}
int GetVideoInfo(const char*, std::uint32_t*, std::uint32_t*, std::uint32_t*) {
  return 0;
}
int StartPlay(const char*) {
  return 0;
}
void* GetVideoFrame(void) {
  return nullptr;
}
void EndPlay(void) {}
}
