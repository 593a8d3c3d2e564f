#pragma once
// Shared libraries loaded at run time by name (the resource libraries, the
// album library).

#include <filesystem>
#include <string>

namespace tx {

/// An open shared library; closes it on destruction. Move-only.
class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary();
  SharedLibrary(SharedLibrary&& other) noexcept;
  SharedLibrary& operator=(SharedLibrary&& other) noexcept;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  /// Opens the library `name` (without folder or suffix, e.g. "Res_TX") from
  /// `folder`: <folder>/<name>.so here, <name>.dll on Windows. Fails (an
  /// empty object, the reason in `error`) when it is missing or cannot be
  /// loaded.
  static SharedLibrary Open(const std::filesystem::path& folder, const std::string& name,
                            std::string& error);

  /// The file name a library called `name` has on this platform.
  static std::string FileName(const std::string& name);

  bool isOpen() const { return m_handle != nullptr; }

  /// The address of the exported symbol, or null when it is missing.
  void* Symbol(const char* symbol) const;

  /// Symbol as a function pointer of type F.
  template <typename F>
  F Function(const char* symbol) const {
    return reinterpret_cast<F>(Symbol(symbol));
  }

  /// Closes the library now; every address taken from it becomes invalid.
  void Close();

 private:
  void* m_handle = nullptr;
};

}  // namespace tx
