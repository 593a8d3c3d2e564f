#pragma once
// Binding of the resource library: the program's side.
//
// At start the program loads the resource library of the user's language by
// name from the program folder (Res_TX, or Res_EN when TESSERIX_LANG is
// "en"), binds its five font exports and its look-ups, and keeps it as the
// resource instance until exit. Every message, key name taken from a string
// id, dialog, menu and accelerator table is then drawn from that instance.

#include <filesystem>
#include <memory>
#include <string>

#include "platform/shared_library.h"
#include "resources/library/res_api.h"

namespace tx {

/// The interface font the library asks for.
struct InterfaceFont {
  int height = 0;
  int charSet = 0;
  std::string faceName;
};

/// A loaded resource library with all its exports bound.
class ResourceLibrary {
 public:
  /// Loads `name` from `folder` and binds every export. Fails (null, the
  /// reason in `error`) when the library is missing or lacks an export.
  static std::unique_ptr<ResourceLibrary> Load(const std::filesystem::path& folder,
                                               const std::string& name, std::string& error);

  const std::string& name() const { return m_name; }
  const InterfaceFont& font() const { return m_font; }
  unsigned language() const { return m_language(); }

  /// Look-ups; null when the library has no such resource.
  const char* String(unsigned id) const { return m_string(id); }
  const TxResDialog* Dialog(unsigned id) const { return m_dialog(id); }
  const TxResMenu* Menu(unsigned id) const { return m_menu(id); }
  const TxResAcceleratorTable* Accelerators(unsigned id) const { return m_accelerators(id); }
  /// The icon's PNG bytes, or null.
  const unsigned char* Icon(unsigned id, unsigned& size) const { return m_icon(id, &size); }
  const char* VersionValue(const char* key) const { return m_versionValue(key); }

 private:
  ResourceLibrary() = default;

  SharedLibrary m_library;
  std::string m_name;
  InterfaceFont m_font;
  unsigned (*m_language)() = nullptr;
  const char* (*m_string)(unsigned) = nullptr;
  const TxResDialog* (*m_dialog)(unsigned) = nullptr;
  const TxResMenu* (*m_menu)(unsigned) = nullptr;
  const TxResAcceleratorTable* (*m_accelerators)(unsigned) = nullptr;
  const unsigned char* (*m_icon)(unsigned, unsigned*) = nullptr;
  const char* (*m_versionValue)(const char*) = nullptr;
};

/// The library the user's language asks for: "Res_EN" when TESSERIX_LANG is
/// "en", otherwise "Res_TX".
std::string ChosenResourceLibraryName();

/// Binds `name` from `folder` as the resource instance, replacing any bound
/// before, and routes the notices' string ids to it. On failure the
/// instance is cleared and `error` says why.
bool BindResourceLibrary(const std::filesystem::path& folder, const std::string& name,
                         std::string& error);

/// Binds the chosen library from the program folder; on failure prints the
/// reason on stderr and ends the process with kExitNoResources, since no
/// message or interface font exists without it.
void BindResourceLibraryOrExit();
inline constexpr int kExitNoResources = 3;

/// The bound library, or null.
const ResourceLibrary* ResourceInstance();

/// Releases the bound library; every text pointer taken from it dies.
void ReleaseResourceLibrary();

}  // namespace tx
