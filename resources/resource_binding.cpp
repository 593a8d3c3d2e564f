#include "resources/resource_binding.h"

#include <cstdio>
#include <cstdlib>

#include "platform/notices.h"
#include "platform/paths.h"
#include "platform/product.h"
#include "resources/messages.h"

namespace tx {
namespace {

std::unique_ptr<ResourceLibrary>& Instance() {
  static std::unique_ptr<ResourceLibrary> instance;
  return instance;
}

template <typename F>
bool BindExport(const SharedLibrary& library, const char* symbol, F& target,
                const std::string& name, std::string& error) {
  target = library.Function<F>(symbol);
  if (target) return true;
  error = SharedLibrary::FileName(name) + " lacks the export " + symbol;
  return false;
}

}  // namespace

std::unique_ptr<ResourceLibrary> ResourceLibrary::Load(const std::filesystem::path& folder,
                                                       const std::string& name,
                                                       std::string& error) {
  std::unique_ptr<ResourceLibrary> resources(new ResourceLibrary);
  resources->m_library = SharedLibrary::Open(folder, name, error);
  if (!resources->m_library.isOpen()) return nullptr;
  resources->m_name = name;
  const SharedLibrary& library = resources->m_library;

  // The five font exports first, in the order the program has always asked
  // for them; then the look-ups of the tables.
  const char* (*fontName)() = nullptr;
  int (*fontSize)() = nullptr;
  int (*fontOffsetV)() = nullptr;
  int (*fontSet)() = nullptr;
  int (*fontHeigh)() = nullptr;
  bool bound = BindExport(library, "ResFontName", fontName, name, error) &&
               BindExport(library, "ResFontSize", fontSize, name, error) &&
               BindExport(library, "ResFontOffsetV", fontOffsetV, name, error) &&
               BindExport(library, "ResFontSet", fontSet, name, error) &&
               BindExport(library, "ResFontHeigh", fontHeigh, name, error) &&
               BindExport(library, "ResLanguage", resources->m_language, name, error) &&
               BindExport(library, "ResString", resources->m_string, name, error) &&
               BindExport(library, "ResDialog", resources->m_dialog, name, error) &&
               BindExport(library, "ResMenu", resources->m_menu, name, error) &&
               BindExport(library, "ResAccelerators", resources->m_accelerators, name, error) &&
               BindExport(library, "ResIcon", resources->m_icon, name, error) &&
               BindExport(library, "ResVersionValue", resources->m_versionValue, name, error);
  if (!bound) return nullptr;

  resources->m_font.charSet = fontSet();
  resources->m_font.height = fontSize();
  const char* face = fontName();
  resources->m_font.faceName = face ? face : "";
  return resources;
}

std::string ChosenResourceLibraryName() {
  const char* language = std::getenv("TESSERIX_LANG");
  return language && std::string(language) == "en" ? "Res_EN" : "Res_TX";
}

bool BindResourceLibrary(const std::filesystem::path& folder, const std::string& name,
                         std::string& error) {
  ReleaseResourceLibrary();
  Instance() = ResourceLibrary::Load(folder, name, error);
  if (!Instance()) return false;
  SetStringResolver([](int id) { return LoadText(static_cast<unsigned>(id)); });
  return true;
}

void BindResourceLibraryOrExit() {
  std::string error;
  if (BindResourceLibrary(ProgramDir(), ChosenResourceLibraryName(), error)) return;
  std::fprintf(stderr,
               "%s: the resource library is missing or damaged (%s); reinstall the program.\n",
               kProgramName, error.c_str());
  std::exit(kExitNoResources);
}

const ResourceLibrary* ResourceInstance() {
  return Instance().get();
}

void ReleaseResourceLibrary() {
  if (!Instance()) return;
  SetStringResolver(nullptr);
  Instance().reset();
}

}  // namespace tx
