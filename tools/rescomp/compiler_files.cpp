#include "tools/rescomp/compiler_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>

namespace tx::rescomp {

namespace {

// The eight bytes every PNG file starts with.
constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::string EscapeDepfilePath(const std::string& path) {
  std::string escaped;
  for (const char c : path) {
    if (c == ' ' || c == '#' || c == '\\') {
      escaped += '\\';
    } else if (c == '$') {
      escaped += '$';
    }
    escaped += c;
  }
  return escaped;
}

}  // namespace

bool ReadWholeFile(const std::filesystem::path& file, std::uintmax_t limit, std::string& bytes,
                   std::string& error) {
  std::error_code code;
  const std::filesystem::file_status status = std::filesystem::status(file, code);
  if (status.type() == std::filesystem::file_type::not_found) {
    error = "no such file";
    return false;
  }
  if (code) {
    error = code.message();
    return false;
  }
  if (!std::filesystem::is_regular_file(status)) {
    error = "not a regular file";
    return false;
  }
  const std::uintmax_t size = std::filesystem::file_size(file, code);
  if (code) {
    error = code.message();
    return false;
  }
  if (size > limit) {
    error = "larger than " + std::to_string(limit) + " bytes";
    return false;
  }
  std::ifstream stream(file, std::ios::binary);
  if (!stream) {
    error = std::strerror(errno);
    return false;
  }
  bytes.assign(static_cast<std::size_t>(size), '\0');
  stream.read(bytes.data(), static_cast<std::streamsize>(size));
  // A file that shrank or grew while being read is read again by the next
  // build; reading exactly the size seen, and nothing more, is what counts.
  if (stream.gcount() != static_cast<std::streamsize>(size) ||
      stream.peek() != std::char_traits<char>::eof()) {
    error = "the file changed while it was read";
    return false;
  }
  return true;
}

void LoadIcons(ResourceScript& script, const std::filesystem::path& scriptFolder) {
  for (auto& [id, icon] : script.icons) {
    std::string bytes;
    std::string error;
    if (!ReadWholeFile(scriptFolder / icon.file, kMaxIconBytes, bytes, error)) {
      throw ScriptError(icon.line, "cannot read icon file \"" + icon.file + "\": " + error);
    }
    if (bytes.size() < sizeof kPngSignature ||
        std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) != 0) {
      throw ScriptError(icon.line, "icon file \"" + icon.file + "\" is not a PNG file");
    }
    icon.bytes.assign(bytes.begin(), bytes.end());
  }
}

bool DepfileText(const std::string& target, const std::vector<std::string>& inputs,
                 std::string& text) {
  text = EscapeDepfilePath(target) + ":";
  for (const std::string& input : inputs) {
    if (input.find_first_of("\r\n") != std::string::npos) return false;
    text += " \\\n  " + EscapeDepfilePath(input);
  }
  if (target.find_first_of("\r\n") != std::string::npos) return false;
  text += "\n";
  return true;
}

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view content,
                         std::string& error) {
  // The temporary file sits beside the target, so the rename stays within
  // one file system; the process id keeps parallel runs apart.
  std::filesystem::path temporary = file;
  temporary += ".tmp" + std::to_string(static_cast<long>(getpid()));
  {
    std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
    if (!stream) {
      error = "cannot create " + temporary.string() + ": " + std::strerror(errno);
      return false;
    }
    stream.write(content.data(), static_cast<std::streamsize>(content.size()));
    stream.close();
    if (!stream) {
      error = "cannot write " + temporary.string();
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code code;
  std::filesystem::rename(temporary, file, code);
  if (code) {
    error = "cannot replace " + file.string() + ": " + code.message();
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
  }
  return true;
}

}  // namespace tx::rescomp
