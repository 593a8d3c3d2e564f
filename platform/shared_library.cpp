#include "platform/shared_library.h"

#include <dlfcn.h>

#include <utility>

namespace tx {

SharedLibrary::~SharedLibrary() {
  Close();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    m_handle = std::exchange(other.m_handle, nullptr);
  }
  return *this;
}

std::string SharedLibrary::FileName(const std::string& name) {
  return name + ".so";
}

SharedLibrary SharedLibrary::Open(const std::filesystem::path& folder, const std::string& name,
                                  std::string& error) {
  SharedLibrary library;
  std::filesystem::path file = folder / FileName(name);
  // RTLD_LOCAL keeps the library's symbols out of the global namespace, so two
  // libraries of the same shape (two languages) can be open side by side.
  library.m_handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library.m_handle) {
    const char* reason = dlerror();
    error = "cannot load " + file.string() + (reason ? std::string(": ") + reason : "");
  }
  return library;
}

void* SharedLibrary::Symbol(const char* symbol) const {
  return m_handle ? dlsym(m_handle, symbol) : nullptr;
}

void SharedLibrary::Close() {
  if (m_handle) dlclose(std::exchange(m_handle, nullptr));
}

}  // namespace tx
