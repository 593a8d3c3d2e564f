#pragma once
// The video reader: sampled frames for video collections and frame-by-frame
// playback for the preview, on FFmpeg. Frames are 24-bit packed images
// (image/packed_image.h) that the receiver owns and frees with GlobalFree.
//
// The reader keeps one frame callback, one running read and one preview per
// process, as the program uses them from its interface thread; BreakTran may
// be called from any thread (and from inside the callback).
//
// Frames keep the coded width and height: the sample aspect ratio and any
// rotation the file asks for are not applied. A video is whatever FFmpeg
// opens from a regular local file with a decodable video stream of a known
// size; still pictures FFmpeg would read as one-frame streams are not videos.
// Frames wider or taller than 16384 pixels, or of more than 64 megapixels,
// are refused before anything is allocated for them: such a file does not
// open, and a frame that grows to such a size mid-stream ends the read.

#include <cstdint>

extern "C" {

/// Receives one sampled frame, which it owns, and the context given to
/// InitProc.
typedef void (*VideoFrameCallback)(void* frame, void* context);

/// Sets the callback (and its context) that ReadVideoImage hands frames to.
void InitProc(VideoFrameCallback callback, void* context);

/// Reads the video file at `path` (UTF-8) from start to end and hands the
/// callback one frame per `intervalMs` milliseconds of presentation time (the
/// first frame at time 0, then the first frame at or after each multiple of
/// the interval). Only `mode` 2 is known. `output` (may be null) receives the
/// number of frames delivered. Nonzero when the file could be read (a break
/// or an error after the first frame still counts as read: the frames
/// delivered stand, and a break once the file is open is not a failure);
/// 0 when it could not, or for an unknown mode or no callback, or when called
/// while another read runs (as from inside the callback). Returns after the
/// current frame once BreakTran is called. Intervals below 1 ms count as 1.
/// Times are presentation times from the video stream's start; frames are
/// never delivered twice or out of order. Where the container's index shows
/// a keyframe between the current frame and the next target, the reader
/// seeks to it instead of decoding what lies between.
int ReadVideoImage(const char* path, int mode, int intervalMs, std::uint32_t* output);

/// Makes a running ReadVideoImage stop after the current frame.
void BreakTran(void);

/// The video's frame rate in whole frames per second (rounded, at least 1)
/// in `framesPerSecond`, its duration in milliseconds in `durationMs`, and
/// its frame width << 16 | height in `size` (each clamped to 16 bits).
/// Nonzero on success (the file must be one ReadVideoImage would open); the
/// words are left alone on failure. Null addresses are skipped. The duration
/// is 0 when the file does not state it.
int GetVideoInfo(const char* path, std::uint32_t* framesPerSecond, std::uint32_t* durationMs,
                 std::uint32_t* size);

/// Opens `path` for the preview, ending a preview that was playing. Nonzero
/// when the file holds a video stream that decodes.
int StartPlay(const char* path);

/// The next frame of the preview, in order, as a packed image the caller
/// owns; null at the end of the video, after an error, or with no preview.
void* GetVideoFrame(void);

/// Ends the preview.
void EndPlay(void);
}
