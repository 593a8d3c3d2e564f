#include "tools/sample_collection/photo_files.h"

#include <QByteArray>
#include <QFile>
#include <QResource>
#include <QString>
#include <fstream>
#include <system_error>

namespace tx::sample {
namespace {

namespace fs = std::filesystem;

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

PhotoFiles::PhotoFiles(fs::path workFolder) : m_workFolder(std::move(workFolder)) {
  std::error_code ec;
  fs::remove_all(m_workFolder, ec);
  fs::create_directories(m_workFolder, ec);
}

PhotoFiles::~PhotoFiles() {
  for (const auto& [container, root] : m_bundleRoots) {
    if (!root.empty()) QResource::unregisterResource(ToQString(container), ToQString(root));
  }
  std::error_code ec;
  fs::remove_all(m_workFolder, ec);
}

std::string PhotoFiles::BundleRoot(const std::string& container) {
  auto found = m_bundleRoots.find(container);
  if (found != m_bundleRoots.end()) return found->second;
  // Each bundle gets a root of its own, so two bundles holding the same
  // resource path cannot hide each other's files.
  std::string root = "/bundle" + std::to_string(m_bundleRoots.size());
  std::error_code ec;
  if (!fs::is_regular_file(container, ec) ||
      !QResource::registerResource(ToQString(container), ToQString(root))) {
    root.clear();
  }
  m_bundleRoots.emplace(container, root);
  return root;
}

fs::path PhotoFiles::Locate(const ListedPhoto& photo, std::string& why) {
  std::error_code ec;
  if (photo.container.empty()) {
    if (fs::is_regular_file(photo.path, ec)) return photo.path;
    why = "not found";
    return {};
  }

  const std::string root = BundleRoot(photo.container);
  if (root.empty()) {
    why = "bundle " + photo.container + " cannot be read";
    return {};
  }
  // The listed path is the resource path under the bundle's own root (":/a/b");
  // mapped, it lies under ":" + root + "/a/b".
  QFile resource(ToQString(":" + root + photo.path.substr(1)));
  if (!resource.open(QIODevice::ReadOnly)) {
    why = "not in bundle " + photo.container;
    return {};
  }
  const QByteArray bytes = resource.readAll();
  // Named after the list line, keeping the extension the readers go by.
  fs::path copy =
      m_workFolder / (std::to_string(photo.line) + fs::path(photo.path).extension().string());
  std::ofstream out(copy, std::ios::binary | std::ios::trunc);
  out.write(bytes.constData(), std::streamsize(bytes.size()));
  out.close();
  if (!out) {
    why = "cannot copy it out to " + copy.string();
    fs::remove(copy, ec);
    return {};
  }
  return copy;
}

}  // namespace tx::sample
