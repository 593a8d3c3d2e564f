// A resource library that lacks most exports, for the binding's failure path.

extern "C" __attribute__((visibility("default"))) const char* ResFontName(void) {
  return "Arial";
}
extern "C" __attribute__((visibility("default"))) int ResFontSize(void) {
  return 15;
}
