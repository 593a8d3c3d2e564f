// Reads just enough of a HEIF file to know what its pictures decode to: the
// meta box's item types (iinf), data locations (iloc, idat), properties
// (ipco, ipma) and derivations (iref), then the grid and overlay headers and
// the HEVC and AV1 sequence parameters. Every read is bounds-checked. What
// matters is what libheif will decode, so where libheif 1.15 reads a box
// otherwise than the format says, the box is read its way too.

#include "rastio/heif_sizes.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace tx::rastio {
namespace {

constexpr std::uint32_t FourCc(const char (&text)[5]) {
  return std::uint32_t(std::uint8_t(text[0])) << 24 | std::uint32_t(std::uint8_t(text[1])) << 16 |
         std::uint32_t(std::uint8_t(text[2])) << 8 | std::uint32_t(std::uint8_t(text[3]));
}

/// Big-endian fields front to back. A read past the end yields zero and
/// leaves the reader failed for good.
class FieldReader {
 public:
  explicit FieldReader(ByteSpan data) : m_data(data) {}

  bool ok() const { return m_ok; }
  std::size_t remaining() const { return m_data.size() - m_offset; }

  /// An unsigned field of `bytes` bytes (0 to 8; 0 reads nothing).
  std::uint64_t read(std::size_t bytes) {
    if (bytes > 8 || bytes > remaining()) {
      m_ok = false;
      m_offset = m_data.size();
      return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i)
      value = value << 8 | m_data[m_offset++];
    return value;
  }
  std::uint32_t u8() { return std::uint32_t(read(1)); }
  std::uint32_t u16() { return std::uint32_t(read(2)); }
  std::uint32_t u32() { return std::uint32_t(read(4)); }

  ByteSpan take(std::size_t count) {
    if (count > remaining()) {
      m_ok = false;
      m_offset = m_data.size();
      return {};
    }
    ByteSpan part = m_data.subspan(m_offset, count);
    m_offset += count;
    return part;
  }
  ByteSpan rest() { return take(remaining()); }

 private:
  ByteSpan m_data;
  std::size_t m_offset = 0;
  bool m_ok = true;
};

/// Bits most significant first, for parameter sets.
class BitReader {
 public:
  explicit BitReader(ByteSpan data) : m_data(data) {}

  bool ok() const { return m_ok; }

  std::uint32_t bits(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      if (m_bit >= m_data.size() * 8) {
        m_ok = false;
        return 0;
      }
      value = value << 1 | ((m_data[m_bit / 8] >> (7 - m_bit % 8)) & 1u);
      ++m_bit;
    }
    return value;
  }
  void skip(int count) {
    for (; count > 32; count -= 32)
      bits(32);
    bits(count);
  }
  /// An Exp-Golomb code, as both HEVC (ue(v)) and AV1 (uvlc) write it.
  std::uint32_t golomb() {
    int zeros = 0;
    while (m_ok && bits(1) == 0) {
      if (++zeros > 31) {
        m_ok = false;
        return 0;
      }
    }
    return std::uint32_t((std::uint64_t(1) << zeros) - 1 + bits(zeros));
  }

 private:
  ByteSpan m_data;
  std::size_t m_bit = 0;
  bool m_ok = true;
};

struct Box {
  std::uint32_t type = 0;
  ByteSpan body;
};

/// The boxes laid end to end in `data`, up to the first malformed one.
std::vector<Box> ReadBoxes(ByteSpan data) {
  std::vector<Box> boxes;
  FieldReader reader(data);
  while (reader.remaining() >= 8) {
    std::uint64_t size = reader.u32();
    std::uint32_t type = reader.u32();
    std::uint64_t header = 8;
    if (size == 1) {
      size = reader.read(8);
      header = 16;
    } else if (size == 0) {
      size = reader.remaining() + header;
    }
    if (!reader.ok() || size < header || size - header > reader.remaining()) break;
    boxes.push_back({type, reader.take(std::size_t(size - header))});
  }
  return boxes;
}

const Box* FindBox(const std::vector<Box>& boxes, std::uint32_t type) {
  for (const Box& box : boxes)
    if (box.type == type) return &box;
  return nullptr;
}

struct Item {
  std::uint32_t type = 0;
  bool twice = false;  // more than one entry gives its type
  std::vector<ByteSpan> extents;
  std::set<std::uint32_t> properties;  // 1-based indices into ipco; entries may repeat them
  std::vector<std::uint32_t> inputs;   // the items a grid or overlay is made of
};

using ItemMap = std::map<std::uint32_t, Item>;

void ReadItemTypes(ByteSpan iinf, ItemMap& items) {
  FieldReader reader(iinf);
  std::uint32_t version = reader.u32() >> 24;
  reader.read(version == 0 ? 2 : 4);  // entry count; the boxes themselves say
  if (!reader.ok()) return;
  for (const Box& entry : ReadBoxes(reader.rest())) {
    if (entry.type != FourCc("infe")) continue;
    FieldReader infe(entry.body);
    std::uint32_t infeVersion = infe.u32() >> 24;
    if (infeVersion < 2) continue;  // such entries carry no item type
    std::uint32_t id = std::uint32_t(infe.read(infeVersion == 2 ? 2 : 4));
    infe.u16();  // protection index
    std::uint32_t type = infe.u32();
    if (!infe.ok()) continue;
    Item& item = items[id];
    if (item.type != 0) item.twice = true;
    item.type = type;
  }
}

/// Reads the item locations. Field sizes other than 4 and 8 read nothing,
/// as libheif has it. Whether version 1 has extent indices, as the format
/// says, or not, as libheif 1.15 reads it, is `versionOneIndices`.
void ReadItemLocations(ByteSpan iloc, ByteSpan file, ByteSpan idat, bool versionOneIndices,
                       ItemMap& items) {
  FieldReader reader(iloc);
  std::uint32_t version = reader.u32() >> 24;
  if (version > 2) return;
  auto fieldSize = [](std::uint32_t code) -> std::size_t {
    return code == 4 || code == 8 ? code : 0;
  };
  std::uint32_t sizes = reader.u16();
  std::size_t offsetSize = fieldSize(sizes >> 12), lengthSize = fieldSize((sizes >> 8) & 15);
  std::size_t baseSize = fieldSize((sizes >> 4) & 15);
  bool indices = version == 2 || (version == 1 && versionOneIndices);
  std::size_t indexSize = indices ? fieldSize(sizes & 15) : 0;
  std::uint64_t count = reader.read(version < 2 ? 2 : 4);
  for (std::uint64_t i = 0; i < count && reader.ok(); ++i) {
    std::uint32_t id = std::uint32_t(reader.read(version < 2 ? 2 : 4));
    std::uint32_t method = version == 0 ? 0 : reader.u16() & 15;
    reader.u16();  // data reference index
    std::uint64_t base = reader.read(baseSize);
    std::uint32_t extents = reader.u16();
    ByteSpan source = method == 0 ? file : method == 1 ? idat : ByteSpan();
    std::vector<ByteSpan> pieces;
    for (std::uint32_t e = 0; e < extents && reader.ok(); ++e) {
      reader.read(indexSize);
      std::uint64_t offset = reader.read(offsetSize), length = reader.read(lengthSize);
      if (method > 1 || base > source.size() || offset > source.size() - base) continue;
      std::uint64_t start = base + offset, available = source.size() - start;
      // libheif reads nothing for a length of 0, though the format means
      // "to the end"; data past the end fails there anyway.
      if (length == 0) continue;
      length = std::min(length, available);
      pieces.push_back(source.subspan(std::size_t(start), std::size_t(length)));
    }
    if (reader.ok()) items[id].extents = std::move(pieces);
  }
}

/// True when the item locations read differently as the format and as
/// libheif 1.15 read them.
bool LocationsAreAmbiguous(ByteSpan iloc) {
  FieldReader reader(iloc);
  std::uint32_t version = reader.u32() >> 24;
  std::uint32_t indexCode = reader.u16() & 15;
  return reader.ok() && version == 1 && (indexCode == 4 || indexCode == 8);
}

void ReadItemProperties(ByteSpan ipma, ItemMap& items) {
  FieldReader reader(ipma);
  std::uint32_t versionFlags = reader.u32();
  bool wideIds = (versionFlags >> 24) >= 1, wideIndices = (versionFlags & 1) != 0;
  std::uint32_t count = reader.u32();
  for (std::uint32_t i = 0; i < count && reader.ok(); ++i) {
    std::uint32_t id = std::uint32_t(reader.read(wideIds ? 4 : 2));
    std::uint32_t associations = reader.u8();
    std::vector<std::uint32_t> properties;
    for (std::uint32_t a = 0; a < associations && reader.ok(); ++a)
      properties.push_back(wideIndices ? reader.u16() & 0x7FFF : reader.u8() & 0x7F);
    if (!reader.ok()) break;
    items[id].properties.insert(properties.begin(), properties.end());
  }
}

void ReadDerivations(ByteSpan iref, ItemMap& items) {
  // libheif reads the references one after another and ignores the sizes
  // their headers give, so they are read here the same way: what it would
  // follow must be checked, not what the sizes say.
  FieldReader reader(iref);
  std::size_t idBytes = (reader.u32() >> 24) == 0 ? 2 : 4;
  while (reader.ok() && reader.remaining() > 0) {
    std::uint64_t size = reader.u32();
    std::uint32_t type = reader.u32();
    if (size == 1) reader.read(8);
    if (type == FourCc("uuid")) reader.take(16);
    std::uint32_t from = std::uint32_t(reader.read(idBytes));
    std::uint32_t count = reader.u16();
    if (!reader.ok()) return;
    std::vector<std::uint32_t>& inputs = items[from].inputs;
    for (std::uint32_t i = 0; i < count && reader.remaining() >= idBytes; ++i) {
      std::uint32_t input = std::uint32_t(reader.read(idBytes));
      if (type == FourCc("dimg")) inputs.push_back(input);
    }
  }
}

bool IsDerivedType(std::uint32_t type) {
  return type == FourCc("grid") || type == FourCc("iovl") || type == FourCc("iden");
}

/// The item types libheif can decode as pictures.
bool IsPictureType(std::uint32_t type) {
  return IsDerivedType(type) || type == FourCc("hvc1") || type == FourCc("av01");
}

/// The first `limit` bytes of an item's data as one block, as libheif joins
/// its extents.
ByteVector ItemData(const Item& item, std::size_t limit) {
  ByteVector data;
  for (ByteSpan piece : item.extents) {
    std::size_t take = std::min(piece.size(), limit - data.size());
    data.insert(data.end(), piece.begin(), piece.begin() + std::ptrdiff_t(take));
    if (data.size() == limit) break;
  }
  return data;
}

struct Size {
  std::int64_t width = 0, height = 0;
};

/// The canvas a grid or overlay item draws on.
std::optional<Size> CanvasSize(const ByteVector& data, bool overlay) {
  FieldReader reader(data);
  reader.u8();  // version
  std::uint32_t flags = reader.u8();
  reader.read(overlay ? 8 : 2);  // the fill colour, or the rows and columns
  std::size_t field = (flags & 1) ? 4 : 2;
  Size size{std::int64_t(reader.read(field)), std::int64_t(reader.read(field))};
  return reader.ok() ? std::optional(size) : std::nullopt;
}

/// The picture size an HEVC sequence parameter set codes.
std::optional<Size> HevcSequenceSize(ByteSpan nal) {
  if (nal.size() < 3 || ((nal[0] >> 1) & 0x3F) != 33) return std::nullopt;
  // Undo the start-code emulation prevention of the few bytes needed.
  ByteVector payload;
  int zeros = 0;
  for (std::size_t i = 2; i < nal.size() && payload.size() < 512; ++i) {
    if (zeros >= 2 && nal[i] == 3) {
      zeros = 0;
      continue;
    }
    zeros = nal[i] == 0 ? zeros + 1 : 0;
    payload.push_back(nal[i]);
  }
  BitReader bits(payload);
  bits.bits(4);  // video parameter set id
  int subLayers = int(bits.bits(3));
  bits.bits(1);
  bits.skip(96);  // general profile, tier and level
  std::vector<std::pair<bool, bool>> present;
  for (int i = 0; i < subLayers; ++i) {
    bool profile = bits.bits(1) != 0;
    present.emplace_back(profile, bits.bits(1) != 0);
  }
  if (subLayers > 0) bits.skip(2 * (8 - subLayers));
  for (auto [profile, level] : present)
    bits.skip((profile ? 88 : 0) + (level ? 8 : 0));
  bits.golomb();                         // sequence parameter set id
  if (bits.golomb() == 3) bits.bits(1);  // chroma format 4:4:4, separate planes
  Size size{bits.golomb(), 0};
  size.height = bits.golomb();
  return bits.ok() ? std::optional(size) : std::nullopt;
}

/// The largest frame an AV1 sequence header allows.
std::optional<Size> Av1SequenceSize(ByteSpan payload) {
  BitReader bits(payload);
  bits.bits(4);  // profile, still picture
  if (bits.bits(1) != 0) {
    bits.bits(5);  // reduced header: just the level
  } else {
    bool decoderModel = false;
    std::uint32_t delayBits = 0;
    if (bits.bits(1) != 0) {  // timing info
      bits.skip(64);
      if (bits.bits(1) != 0) bits.golomb();
      decoderModel = bits.bits(1) != 0;
      if (decoderModel) {
        delayBits = bits.bits(5) + 1;
        bits.skip(42);
      }
    }
    bool displayDelay = bits.bits(1) != 0;
    std::uint32_t points = bits.bits(5) + 1;
    for (std::uint32_t i = 0; i < points && bits.ok(); ++i) {
      bits.bits(12);
      if (bits.bits(5) > 7) bits.bits(1);
      if (decoderModel && bits.bits(1) != 0) bits.skip(int(2 * delayBits + 1));
      if (displayDelay && bits.bits(1) != 0) bits.bits(4);
    }
  }
  int widthBits = int(bits.bits(4)) + 1, heightBits = int(bits.bits(4)) + 1;
  Size size{std::int64_t(bits.bits(widthBits)) + 1, 0};
  size.height = std::int64_t(bits.bits(heightBits)) + 1;
  return bits.ok() ? std::optional(size) : std::nullopt;
}

/// Calls `each` with every sequence header among the AV1 OBUs in `data`.
template <typename Each>
void ForEachAv1SequenceHeader(ByteSpan data, Each each) {
  FieldReader reader(data);
  while (reader.remaining() > 0) {
    std::uint32_t header = reader.u8();
    if (header & 4) reader.u8();  // extension
    std::uint64_t size = reader.remaining();
    if (header & 2) {
      size = 0;
      for (int i = 0; i < 8; ++i) {
        std::uint32_t byte = reader.u8();
        size |= std::uint64_t(byte & 0x7F) << (7 * i);
        if (!(byte & 0x80)) break;
      }
    }
    if (!reader.ok() || size > reader.remaining()) return;
    ByteSpan payload = reader.take(std::size_t(size));
    if (((header >> 3) & 15) == 1) each(Av1SequenceSize(payload));
  }
}

/// Calls `each` with every HEVC NAL unit of a decoder configuration box.
template <typename Each>
void ForEachHevcConfigNal(ByteSpan hvcC, Each each) {
  FieldReader reader(hvcC);
  reader.take(22);
  std::uint32_t arrays = reader.u8();
  for (std::uint32_t a = 0; a < arrays && reader.ok(); ++a) {
    reader.u8();
    std::uint32_t units = reader.u16();
    for (std::uint32_t u = 0; u < units && reader.ok(); ++u)
      each(reader.take(reader.u16()));
  }
}

/// Calls `each` with every NAL unit of an HEVC item's data, which libheif
/// reads with four-byte lengths.
template <typename Each>
void ForEachHevcDataNal(ByteSpan data, Each each) {
  FieldReader reader(data);
  while (reader.remaining() >= 4) {
    ByteSpan nal = reader.take(reader.u32());
    if (!reader.ok()) return;
    each(nal);
  }
}

class SizeCheck {
 public:
  SizeCheck(ByteSpan file, std::string& error) : m_file(file), m_error(error) {}

  bool failed() const { return m_failed; }

  /// The largest picture decoding `item` makes, each size checked; 0 when
  /// nothing about it could be read.
  std::int64_t decodedPixels(const Item& item, const std::vector<Box>& properties) {
    std::int64_t largest = 0;
    // Sizes that did not parse are skipped; the area of one that passed the
    // check cannot overflow.
    auto note = [&](const std::optional<Size>& size) {
      if (m_failed || !size) return;
      m_failed = !CheckPictureSize(size->width, size->height, m_error);
      if (!m_failed) largest = std::max(largest, size->width * size->height);
    };
    if (item.type == FourCc("grid") || item.type == FourCc("iovl")) {
      note(CanvasSize(ItemData(item, 32), item.type == FourCc("iovl")));
      return largest;
    }
    bool hevc = item.type == FourCc("hvc1"), av1 = item.type == FourCc("av01");
    if (!hevc && !av1) return 0;
    ByteVector configuration;  // AV1 units the decoder sees ahead of the data
    for (std::uint32_t index : item.properties) {
      if (index == 0 || index > properties.size()) continue;
      const Box& property = properties[index - 1];
      if (!spend(property.body.size())) return largest;
      if (hevc && property.type == FourCc("hvcC")) {
        ForEachHevcConfigNal(property.body, [&](ByteSpan nal) { note(HevcSequenceSize(nal)); });
      } else if (av1 && property.type == FourCc("av1C") && property.body.size() > 4) {
        configuration.insert(configuration.end(), property.body.begin() + 4, property.body.end());
      }
    }
    ByteVector data = ItemData(item, m_file.size());
    if (!spend(data.size())) return largest;
    if (hevc) {
      ForEachHevcDataNal(data, [&](ByteSpan nal) { note(HevcSequenceSize(nal)); });
    } else {
      // Units cut short in the configuration would run on into the data, so
      // both are read alone and joined.
      ForEachAv1SequenceHeader(configuration, note);
      ForEachAv1SequenceHeader(data, note);
      configuration.insert(configuration.end(), data.begin(), data.end());
      ForEachAv1SequenceHeader(configuration, note);
    }
    return largest;
  }

 private:
  // Items may share and repeat their data and properties, so the bytes read
  // are budgeted: a real file's items share little, and reading them costs
  // about its size.
  bool spend(std::size_t bytes) {
    if (bytes <= m_budget) {
      m_budget -= bytes;
      return true;
    }
    m_error = "the HEIF file's pictures share their data too often to be read";
    m_failed = true;
    return false;
  }

  ByteSpan m_file;
  std::size_t m_budget = 4 * m_file.size() + (1u << 20);
  std::string& m_error;
  bool m_failed = false;
};

/// The checks on the items as read one way.
bool CheckItems(const ItemMap& items, const std::vector<Box>& properties, ByteSpan file,
                std::string& error) {
  // Which of two entries for one item libheif follows is not ours to guess;
  // real files never describe an item twice.
  for (const auto& [id, item] : items) {
    if (item.twice) {
      error = "HEIF: the file describes one of its parts twice";
      return false;
    }
  }
  // libheif stops on an assertion, ending the process, when a derived
  // picture is made of an item that is no picture.
  for (const auto& [id, item] : items) {
    if (!IsDerivedType(item.type)) continue;
    for (std::uint32_t input : item.inputs) {
      auto found = items.find(input);
      if (input == id || found == items.end() || !IsPictureType(found->second.type)) {
        error = "HEIF: the picture is made of a part the file does not hold";
        return false;
      }
    }
  }

  SizeCheck sizes(file, error);
  std::map<std::uint32_t, std::int64_t> pixels;
  for (const auto& [id, item] : items) {
    pixels[id] = sizes.decodedPixels(item, properties);
    if (sizes.failed()) return false;
  }
  // Each input of a grid or overlay is decoded in full, once per reference,
  // so a few bytes of references could repeat one large input endlessly.
  for (const auto& [id, item] : items) {
    if (item.type != FourCc("grid") && item.type != FourCc("iovl")) continue;
    std::int64_t total = 0;
    for (std::uint32_t input : item.inputs) {
      auto found = pixels.find(input);
      if (found != pixels.end()) total += found->second;
      if (total > 2 * MaxPicturePixels()) {
        error = "the picture is made of " + std::to_string(item.inputs.size()) +
                " parts too large to decode together";
        return false;
      }
    }
  }
  return true;
}

/// True when `boxes` holds more than one box of any of `types`.
bool AnyTwice(const std::vector<Box>& boxes, std::initializer_list<std::uint32_t> types) {
  for (std::uint32_t type : types) {
    if (std::count_if(boxes.begin(), boxes.end(),
                      [&](const Box& box) { return box.type == type; }) > 1) {
      return true;
    }
  }
  return false;
}

/// The checks on one meta box and the items it describes.
bool CheckMeta(const Box& meta, ByteSpan file, std::string& error) {
  if (meta.body.size() < 4) return true;
  std::vector<Box> boxes = ReadBoxes(meta.body.subspan(4));
  std::vector<Box> properties, propertyBoxes;
  if (const Box* iprp = FindBox(boxes, FourCc("iprp"))) propertyBoxes = ReadBoxes(iprp->body);
  // Real files give each of these once; which copy libheif would follow is
  // not ours to guess.
  if (AnyTwice(boxes, {FourCc("pitm"), FourCc("iinf"), FourCc("iloc"), FourCc("idat"),
                       FourCc("iref"), FourCc("iprp")}) ||
      AnyTwice(propertyBoxes, {FourCc("ipco")})) {
    error = "HEIF: the file describes its pictures twice";
    return false;
  }
  if (const Box* ipco = FindBox(propertyBoxes, FourCc("ipco"))) properties = ReadBoxes(ipco->body);
  const Box* idat = FindBox(boxes, FourCc("idat"));
  const Box* iloc = FindBox(boxes, FourCc("iloc"));

  // Data kept in the meta box runs, for libheif, past the idat box's end to
  // the end of the file.
  ByteSpan inlineData;
  if (idat) inlineData = file.subspan(std::size_t(idat->body.data() - file.data()));

  // Where the item locations read two ways, both ways must pass.
  for (bool versionOneIndices : {false, true}) {
    if (versionOneIndices && !(iloc && LocationsAreAmbiguous(iloc->body))) break;
    ItemMap items;
    if (const Box* iinf = FindBox(boxes, FourCc("iinf"))) ReadItemTypes(iinf->body, items);
    if (iloc) ReadItemLocations(iloc->body, file, inlineData, versionOneIndices, items);
    for (const Box& box : propertyBoxes)
      if (box.type == FourCc("ipma")) ReadItemProperties(box.body, items);
    if (const Box* iref = FindBox(boxes, FourCc("iref"))) ReadDerivations(iref->body, items);
    if (!CheckItems(items, properties, file, error)) return false;
  }
  return true;
}

}  // namespace

bool CheckHeifDecodeSizes(ByteSpan file, std::string& error) {
  // A file may hold more than one meta box, and libheif need not take the
  // first; every one must pass.
  for (const Box& box : ReadBoxes(file)) {
    if (box.type == FourCc("meta") && !CheckMeta(box, file, error)) return false;
  }
  return true;
}

}  // namespace tx::rastio
