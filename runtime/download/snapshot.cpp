#include "runtime/download/snapshot.h"

#include <array>

namespace tavrel::download {
namespace {

constexpr std::size_t kHeadBytes = 16;
constexpr std::size_t kRecordBytes = 28;
constexpr std::size_t kCrcBytes = 2;

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
  std::array<std::uint16_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    table[i] = static_cast<std::uint16_t>(crc);
  }
  return table;
}
constexpr auto kCrcTable = MakeCrcTable();

void PutU32(ByteSet& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void SetU32(ByteSet& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetU32(const ByteSet& in, std::size_t at) {
  return static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8 |
         static_cast<std::uint32_t>(in[at + 2]) << 16 | static_cast<std::uint32_t>(in[at + 3]) << 24;
}

std::int32_t GetI32(const ByteSet& in, std::size_t at) { return static_cast<std::int32_t>(GetU32(in, at)); }

std::size_t RecordAt(std::uint32_t index) { return kHeadBytes + kRecordBytes * index; }

// The block count of a sound snapshot: its checksum matches and its parts
// fill it exactly (the checksum alone would accept a zero byte appended).
std::optional<std::uint32_t> CheckedCount(const ByteSet& s) {
  if (s.size() < kHeadBytes + kCrcBytes) return std::nullopt;
  std::size_t body = s.size() - kCrcBytes;
  std::uint16_t stored = static_cast<std::uint16_t>(s[body] | s[body + 1] << 8);
  if (Crc16Arc(s.data(), body) != stored) return std::nullopt;
  std::uint32_t count = GetU32(s, 0);
  std::uint32_t capacity = GetU32(s, 4);
  if (count > capacity || capacity > (body - kHeadBytes) / kRecordBytes) return std::nullopt;
  std::size_t at = RecordAt(capacity);
  if (body - at < 4) return std::nullopt;
  std::uint32_t texts = GetU32(s, at);
  if (texts > (body - at - 4) / 8) return std::nullopt;
  std::size_t next = at + 4 + 8 * static_cast<std::size_t>(texts);
  for (std::uint32_t i = 0; i < texts; ++i) {
    std::uint32_t offset = GetU32(s, at + 4 + 8 * i);
    std::uint32_t length = GetU32(s, at + 8 + 8 * i);
    if (offset != next || length > body - next) return std::nullopt;
    next += length;
  }
  if (next != body) return std::nullopt;
  return count;
}

}  // namespace

std::uint16_t Crc16Arc(const std::uint8_t* data, std::size_t size, std::uint16_t crc) {
  for (std::size_t i = 0; i < size; ++i)
    crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFF]);
  return crc;
}

ByteSet EncodeSnapshot(const BlockPlan& plan, const std::vector<std::string>& texts) {
  const auto capacity = static_cast<std::uint32_t>(plan.Capacity());
  std::size_t textBytes = 0;
  for (const auto& t : texts) textBytes += t.size();
  ByteSet out;
  out.reserve(kHeadBytes + kRecordBytes * capacity + 4 + 8 * texts.size() + textBytes + kCrcBytes);
  PutU32(out, static_cast<std::uint32_t>(plan.Count()));
  PutU32(out, capacity);
  PutU32(out, static_cast<std::uint32_t>(plan.Total()));
  PutU32(out, 0);
  for (const Block& b : plan.Blocks()) {
    PutU32(out, b.inUse ? 1 : 0);
    PutU32(out, b.split ? 1 : 0);
    PutU32(out, b.threadId);
    PutU32(out, static_cast<std::uint32_t>(b.start));
    PutU32(out, static_cast<std::uint32_t>(b.length));
    PutU32(out, static_cast<std::uint32_t>(b.done));
    PutU32(out, static_cast<std::uint32_t>(b.connection));
  }
  out.resize(RecordAt(capacity), 0);

  PutU32(out, static_cast<std::uint32_t>(texts.size()));
  std::size_t table = out.size();
  out.resize(table + 8 * texts.size(), 0);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SetU32(out, table + 8 * i, static_cast<std::uint32_t>(out.size()));
    SetU32(out, table + 8 * i + 4, static_cast<std::uint32_t>(texts[i].size()));
    out.insert(out.end(), texts[i].begin(), texts[i].end());
  }
  std::uint16_t crc = Crc16Arc(out.data(), out.size());
  out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  out.push_back(static_cast<std::uint8_t>(crc >> 8));
  return out;
}

std::int32_t ReadSnapshotItem(const ByteSet& snapshot, std::int32_t item, std::optional<std::int32_t> block) {
  auto count = CheckedCount(snapshot);
  if (!count) return -1;
  switch (static_cast<SnapshotItem>(item)) {
    case SnapshotItem::kTotal: return GetI32(snapshot, 8);
    case SnapshotItem::kDone: {
      std::int64_t sum = 0;
      for (std::uint32_t i = 0; i < *count; ++i) sum += GetI32(snapshot, RecordAt(i) + 20);
      return (sum < 0 || sum > INT32_MAX) ? -1 : static_cast<std::int32_t>(sum);
    }
    case SnapshotItem::kBlockCount: return static_cast<std::int32_t>(*count);
    case SnapshotItem::kBlockStart:
    case SnapshotItem::kBlockLength:
    case SnapshotItem::kBlockDone: {
      if (!block || *block < 1 || static_cast<std::uint32_t>(*block) > *count) return -1;
      std::size_t field = 12 + 4 * static_cast<std::size_t>(item - 4);  // start, length, done
      return GetI32(snapshot, RecordAt(static_cast<std::uint32_t>(*block - 1)) + field);
    }
  }
  return -1;
}

std::optional<std::vector<std::string>> ReadSnapshotTexts(const ByteSet& snapshot) {
  if (!CheckedCount(snapshot)) return std::nullopt;
  std::size_t at = RecordAt(GetU32(snapshot, 4));
  std::uint32_t n = GetU32(snapshot, at);
  std::vector<std::string> texts;
  for (std::uint32_t i = 0; i < n; ++i) {
    std::uint32_t offset = GetU32(snapshot, at + 4 + 8 * i);
    std::uint32_t length = GetU32(snapshot, at + 8 + 8 * i);
    texts.emplace_back(reinterpret_cast<const char*>(snapshot.data()) + offset, length);
  }
  return texts;
}

}  // namespace tavrel::download
