#include "ui/chm_reader.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <chm_lib.h>

#include "core/file_io.h"

namespace luckyscope {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

struct EnumerateState {
  std::vector<chmUnitInfo> wanted;
  std::set<std::string>* oversized;
  std::size_t total = 0;
};

// Objects worth keeping: the pages and pictures, and the "/#SYSTEM" record list.
bool WantObject(const char* path) {
  if (path[0] != '/') return false;  // "::DataSpace/..." internals
  const std::size_t len = std::strlen(path);
  if (len == 0 || path[len - 1] == '/') return false;  // folders
  if (path[1] == '#' || path[1] == '$') return std::strcmp(path, "/#SYSTEM") == 0;
  return true;
}

// Lists what is to be read, from the directory alone: nothing is expanded yet.
int ListObject(chmFile*, chmUnitInfo* info, void* context) {
  auto* state = static_cast<EnumerateState*>(context);
  if (!WantObject(info->path)) return CHM_ENUMERATOR_CONTINUE;
  if (info->length > ChmReader::kMaxObjectBytes) {
    state->oversized->insert(info->path);
    return CHM_ENUMERATOR_CONTINUE;
  }
  state->total += static_cast<std::size_t>(info->length);
  state->wanted.push_back(*info);
  return state->total > ChmReader::kMaxTotalBytes ? CHM_ENUMERATOR_SUCCESS : CHM_ENUMERATOR_CONTINUE;
}

enum class ReadResult { Read, Failed, TooLarge };

// The objects of the file, as long as all of them together stay within the limit;
// the ones too large on their own are named in `oversized`.
ReadResult ReadWithChmlib(const std::string& path, std::map<std::string, std::string>& objects,
                          std::set<std::string>& oversized) {
  chmFile* file = chm_open(path.c_str());
  if (file == nullptr) return ReadResult::Failed;
  EnumerateState state{{}, &oversized};
  chm_enumerate(file, CHM_ENUMERATE_ALL, ListObject, &state);
  if (state.total > ChmReader::kMaxTotalBytes) {
    chm_close(file);
    return ReadResult::TooLarge;
  }
  for (chmUnitInfo& info : state.wanted) {
    std::string data(static_cast<std::size_t>(info.length), '\0');
    if (info.length > 0) {
      const LONGINT64 got = chm_retrieve_object(file, &info, reinterpret_cast<unsigned char*>(data.data()), 0,
                                                static_cast<LONGINT64>(info.length));
      if (got != static_cast<LONGINT64>(info.length)) continue;  // damaged: leave it out
    }
    objects[info.path] = std::move(data);
  }
  chm_close(file);
  return ReadResult::Read;
}

// --- the pipe between the reading child and the program ---------------------------
// Stream: for each object, u32 path length, path, u64 data length, data (a data length
// of kOversized and no data for an object left out for its size); then a path length
// of 0xFFFFFFFF as the end mark. Integers in host order (same process image).
constexpr std::uint32_t kEndMark = 0xFFFFFFFFu;
constexpr std::uint64_t kOversized = ~std::uint64_t{0};
constexpr int kChildTooLarge = 4;  // the child's exit code for a file beyond the limits

bool WriteAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The child keeps only the standard streams and its end of the pipe: whatever else the
// program had open (the single-instance lock among it) must not outlive the program
// in a child that is still reading. Returns the pipe's descriptor, now 3.
int CloseOtherDescriptors(int out) {
  constexpr int kOut = STDERR_FILENO + 1;
  if (out != kOut) {
    if (::dup2(out, kOut) < 0) _exit(3);
    out = kOut;
  }
  if (::close_range(kOut + 1, ~0u, 0) != 0) {
    const long most = std::min(::sysconf(_SC_OPEN_MAX), 1L << 16);
    for (int fd = kOut + 1; fd < most; ++fd) ::close(fd);
  }
  return out;
}

[[noreturn]] void RunChild(const std::string& path, int out) {
  out = CloseOtherDescriptors(out);
  alarm(ChmReader::kTimeoutMs / 1000 + 1);  // a looping chmlib ends here at the latest
  std::map<std::string, std::string> objects;
  std::set<std::string> oversized;
  const ReadResult read = ReadWithChmlib(path, objects, oversized);
  if (read == ReadResult::TooLarge) _exit(kChildTooLarge);
  if (read != ReadResult::Read) _exit(2);
  const auto send = [out](const std::string& name, const std::string* data) {
    const auto nameLen = static_cast<std::uint32_t>(name.size());
    const std::uint64_t dataLen = data == nullptr ? kOversized : data->size();
    return WriteAll(out, &nameLen, sizeof nameLen) && WriteAll(out, name.data(), name.size()) &&
           WriteAll(out, &dataLen, sizeof dataLen) && (data == nullptr || WriteAll(out, data->data(), data->size()));
  };
  for (const auto& [name, data] : objects) {
    if (!send(name, &data)) _exit(3);
  }
  for (const std::string& name : oversized) {
    if (!send(name, nullptr)) _exit(3);
  }
  const std::uint32_t end = kEndMark;
  if (!WriteAll(out, &end, sizeof end)) _exit(3);
  _exit(0);
}

bool ParseStream(const std::string& stream, std::map<std::string, std::string>& objects,
                 std::set<std::string>& oversized) {
  std::size_t at = 0;
  auto take = [&](void* out, std::size_t size) {
    if (stream.size() - at < size) return false;
    std::memcpy(out, stream.data() + at, size);
    at += size;
    return true;
  };
  for (;;) {
    std::uint32_t nameLen = 0;
    if (!take(&nameLen, sizeof nameLen)) return false;
    if (nameLen == kEndMark) return at == stream.size();
    if (stream.size() - at < nameLen) return false;
    std::string name = stream.substr(at, nameLen);
    at += nameLen;
    std::uint64_t dataLen = 0;
    if (!take(&dataLen, sizeof dataLen)) return false;
    if (dataLen == kOversized) {
      oversized.insert(std::move(name));
      continue;
    }
    if (stream.size() - at < dataLen) return false;
    objects[std::move(name)] = stream.substr(at, static_cast<std::size_t>(dataLen));
    at += static_cast<std::size_t>(dataLen);
  }
}

ReadResult ReadInChild(const std::string& path, std::map<std::string, std::string>& objects,
                       std::set<std::string>& oversized) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return ReadResult::Failed;
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return ReadResult::Failed;
  }
  if (child == 0) {
    close(fds[0]);
    RunChild(path, fds[1]);
  }
  close(fds[1]);
  std::string stream;
  bool overflow = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ChmReader::kTimeoutMs);
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd pfd{fds[0], POLLIN, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const ssize_t n = read(fds[0], buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // end of stream (or an error)
    if (stream.size() + static_cast<std::size_t>(n) > ChmReader::kMaxTotalBytes * 2) {
      overflow = true;
      break;
    }
    stream.append(buffer.data(), static_cast<std::size_t>(n));
  }
  close(fds[0]);
  // The child has either finished or is stuck; make sure it is gone before waiting.
  int status = 0;
  pid_t done = waitpid(child, &status, WNOHANG);
  if (done == 0) {
    kill(child, SIGKILL);
    done = waitpid(child, &status, 0);
  }
  if (overflow || done != child || !WIFEXITED(status)) return ReadResult::Failed;
  if (WEXITSTATUS(status) == kChildTooLarge) return ReadResult::TooLarge;
  if (WEXITSTATUS(status) != 0 || !ParseStream(stream, objects, oversized)) return ReadResult::Failed;
  return ReadResult::Read;
}

// --- the container's structure ----------------------------------------------------
// A help file is an ITSF header, a directory (an ITSP header and fixed-size chunks:
// PMGL chunks list the objects, PMGI chunks index them), and a content area whose
// section 0 is stored and section 1 is LZX-compressed, described by a control-data
// object and a reset table. chmlib takes every size, offset and page number there at
// its word; these checks hold each of them to the file and to what chmlib can handle.

constexpr std::uint32_t kChunkLimit = 64u * 1024;  // directory chunks are 4 KiB in practice
constexpr std::uint64_t kNameLimit = 512;          // chmlib's longest object name
constexpr std::uint64_t kLzxFrame = 0x8000;        // the compressed section's block size
constexpr std::uint64_t kLzxSlack = 6144;          // chmlib's room for a block's overhead

constexpr char kContentName[] = "::DataSpace/Storage/MSCompressed/Content";
constexpr char kControlName[] = "::DataSpace/Storage/MSCompressed/ControlData";
constexpr char kResetTableName[] =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";

class LittleEndian {
 public:
  explicit LittleEndian(std::string_view data) : data_(data) {}
  bool Has(std::uint64_t at, std::uint64_t size) const { return at <= data_.size() && size <= data_.size() - at; }
  std::uint64_t Get(std::uint64_t at, int bytes) const {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
      value = value << 8 | static_cast<unsigned char>(data_[at + static_cast<std::uint64_t>(i)]);
    return value;
  }
  std::uint32_t U32(std::uint64_t at) const { return static_cast<std::uint32_t>(Get(at, 4)); }
  std::int32_t I32(std::uint64_t at) const { return static_cast<std::int32_t>(U32(at)); }
  std::uint64_t U64(std::uint64_t at) const { return Get(at, 8); }
  bool Tag(std::uint64_t at, const char (&tag)[5]) const { return Has(at, 4) && data_.compare(at, 4, tag) == 0; }

 private:
  std::string_view data_;
};

// A variable-length number of a directory entry: 7 bits a byte, the high bit says
// another byte follows; at most 9 bytes, all inside the entry area.
bool ReadEncInt(std::string_view area, std::size_t& at, std::uint64_t& out) {
  out = 0;
  for (int i = 0; i < 9 && at < area.size(); ++i) {
    const auto byte = static_cast<unsigned char>(area[at++]);
    out = out << 7 | (byte & 0x7Fu);
    if ((byte & 0x80u) == 0) return true;
  }
  return false;
}

bool ReadName(std::string_view area, std::size_t& at, std::string& name) {
  std::uint64_t length = 0;
  if (!ReadEncInt(area, at, length) || length > kNameLimit || length > area.size() - at) return false;
  name.assign(area.substr(at, static_cast<std::size_t>(length)));
  at += static_cast<std::size_t>(length);
  return true;
}

struct DirectoryEntry {
  std::uint64_t section = 0;
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

struct Chunk {
  bool listing = false;              // PMGL; otherwise PMGI
  std::int32_t next = -1;            // PMGL: the next listing chunk
  std::vector<std::uint64_t> pages;  // PMGI: the chunks it points to
};

// The entries of one chunk; false when any entry runs past the chunk's used area.
bool ParseChunk(std::string_view chunk, std::uint32_t pageCount, Chunk& out,
                std::multimap<std::string, DirectoryEntry>& entries) {
  const LittleEndian le(chunk);
  const bool listing = le.Tag(0, "PMGL");
  if (!listing && !le.Tag(0, "PMGI")) return false;
  const std::size_t header = listing ? 0x14 : 0x08;
  if (chunk.size() < header) return false;
  const std::uint32_t freeSpace = le.U32(4);
  if (freeSpace > chunk.size() - header) return false;
  const std::string_view area = chunk.substr(0, chunk.size() - freeSpace);
  out.listing = listing;
  if (listing) out.next = le.I32(0x10);
  std::size_t at = header;
  std::string name;
  while (at < area.size()) {
    if (!ReadName(area, at, name)) return false;
    if (listing) {
      DirectoryEntry entry;
      if (!ReadEncInt(area, at, entry.section) || !ReadEncInt(area, at, entry.offset) ||
          !ReadEncInt(area, at, entry.length) || entry.section > 1) {
        return false;
      }
      entries.emplace(Lower(name), entry);
    } else {
      std::uint64_t page = 0;
      if (!ReadEncInt(area, at, page) || page >= pageCount) return false;
      out.pages.push_back(page);
    }
  }
  return true;
}

// The compressed section: LZX control data and the reset table whose block bounds
// chmlib reads into fixed buffers.
bool CheckCompressedSection(const LittleEndian& file, std::uint64_t dataOffset,
                            const std::multimap<std::string, DirectoryEntry>& entries, std::uint64_t& expanded) {
  const auto find = [&](const char* name, DirectoryEntry& out) {
    const auto range = entries.equal_range(Lower(name));
    const auto count = std::distance(range.first, range.second);
    if (count == 1) out = range.first->second;
    return count;
  };
  DirectoryEntry content, control, resetTable;
  const auto contents = find(kContentName, content);
  const auto controls = find(kControlName, control);
  const auto tables = find(kResetTableName, resetTable);
  // chmlib reads none of it unless all three are there; then each must be unique and
  // stored, since which duplicate chmlib finds depends on its index.
  if (contents == 0 || controls == 0 || tables == 0) return true;  // compressed objects then read as missing
  if (contents != 1 || controls != 1 || tables != 1) return false;
  if (content.section != 0 || control.section != 0 || resetTable.section != 0) return false;
  const auto stored = [&](const DirectoryEntry& e, std::uint64_t need) {
    return e.length >= need && e.offset <= UINT64_MAX - dataOffset && file.Has(dataOffset + e.offset, e.length);
  };

  // Control data: "LZXC", version 1 or 2 (version 2 counts in 32 KiB units).
  if (!stored(control, 0x1C)) return false;
  const std::uint64_t c = dataOffset + control.offset;
  if (!file.Tag(c + 4, "LZXC")) return false;
  const std::uint32_t version = file.U32(c + 8);
  if (version != 1 && version != 2) return false;
  std::uint64_t resetInterval = file.U32(c + 12);
  std::uint64_t windowSize = file.U32(c + 16);
  const std::uint64_t windowsPerReset = file.U32(c + 20);
  if (version == 2) {
    resetInterval *= 0x8000;
    windowSize *= 0x8000;
  }
  // chmlib computes in 32 bits: every figure must fit there, and the block count per
  // reset must not come out as 0 (it divides by it).
  if (windowSize < (1u << 15) || windowSize > (1u << 21) || (windowSize & (windowSize - 1)) != 0) return false;
  if (resetInterval == 0 || resetInterval > UINT32_MAX || resetInterval % (windowSize / 2) != 0) return false;
  const std::uint64_t perReset = resetInterval / (windowSize / 2) * windowsPerReset;
  if (perReset == 0 || perReset > INT32_MAX) return false;

  // Reset table: where each compressed block starts.
  if (!stored(resetTable, 0x28)) return false;
  const std::uint64_t t = dataOffset + resetTable.offset;
  const std::uint64_t blockCount = file.U32(t + 4);
  const std::uint64_t tableOffset = file.U32(t + 12);
  const std::uint64_t uncompressed = file.U64(t + 16);
  const std::uint64_t compressed = file.U64(t + 24);
  const std::uint64_t blockLength = file.U64(t + 32);
  if (blockLength != kLzxFrame || blockCount == 0) return false;
  if (tableOffset > resetTable.length || blockCount > (resetTable.length - tableOffset) / 8) return false;
  if (uncompressed > blockCount * blockLength || compressed > content.length || !stored(content, compressed))
    return false;
  std::uint64_t previous = 0;
  for (std::uint64_t b = 0; b < blockCount; ++b) {
    const std::uint64_t start = file.U64(t + tableOffset + b * 8);
    const std::uint64_t end = b + 1 < blockCount ? file.U64(t + tableOffset + (b + 1) * 8) : compressed;
    if (start < previous || start > end || end > compressed || end - start > blockLength + kLzxSlack) return false;
    previous = start;
  }
  for (const auto& [name, entry] : entries) {
    if (entry.section == 1 && (entry.offset > uncompressed || entry.length > uncompressed - entry.offset)) return false;
  }
  expanded = uncompressed;
  return true;
}

bool ReadFileBytes(const std::string& path, std::string& out) {
  return ReadWholeFile(path.c_str(), out, static_cast<long long>(ChmReader::kMaxTotalBytes)) && !out.empty();
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

std::string TrimAnchor(const std::string& topic) {
  const std::size_t hash = topic.find('#');
  return hash == std::string::npos ? topic : topic.substr(0, hash);
}

}  // namespace

void ChmReader::Clear() {
  open_ = false;
  tooLarge_ = false;
  objects_.clear();
  oversized_.clear();
  defaultTopic_.clear();
  title_.clear();
}

bool ChmReader::Prepare(const std::string& path) {
  Clear();
  std::string bytes;
  std::uint64_t expanded = 0;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<std::uint64_t>(st.st_size) > kMaxTotalBytes) {
    tooLarge_ = true;  // read whole below, so it must not be larger than what is kept
    return false;
  }
  if (!IsRegularFile(path) || !ReadFileBytes(path, bytes) || !CheckLayout(bytes, &expanded)) return false;
  // Expanding the compressed section is the work that reading any object in it may
  // take: a small file can hold a section of gigabytes.
  tooLarge_ = expanded > kMaxSectionBytes;
  return !tooLarge_;
}

template <typename Read>
bool ChmReader::OpenWith(const std::string& path, Read read) {
  if (!Prepare(path)) return false;
  std::map<std::string, std::string> objects;
  std::set<std::string> oversized;
  const ReadResult result = read(path, objects, oversized);
  tooLarge_ = result == ReadResult::TooLarge;
  if (result != ReadResult::Read) return false;
  Adopt(std::move(objects), oversized);
  return true;
}

bool ChmReader::Open(const std::string& path) {
  return OpenWith(
      path, [](const std::string& p, auto& objects, auto& oversized) { return ReadInChild(p, objects, oversized); });
}

bool ChmReader::OpenInProcess(const std::string& path) {
  return OpenWith(
      path, [](const std::string& p, auto& objects, auto& oversized) { return ReadWithChmlib(p, objects, oversized); });
}

void ChmReader::Adopt(std::map<std::string, std::string> objects, const std::set<std::string>& oversized) {
  for (auto& [name, data] : objects) objects_[Lower(NormalizePath(name))] = std::move(data);
  for (const std::string& name : oversized) oversized_.insert(Lower(NormalizePath(name)));
  open_ = true;

  std::string system;
  if (auto found = objects_.find("/#system"); found != objects_.end()) system = found->second;
  if (auto title = SystemRecord(system, 3)) title_ = *title;

  // The default topic; a file compiled without one falls back to the first page of
  // its contents, then to "/index.html". A named page that is not in the file does
  // not count.
  std::vector<std::string> candidates;
  if (auto topic = SystemRecord(system, 2)) candidates.push_back(NormalizePath(*topic));
  std::optional<std::string> contentsName = SystemRecord(system, 0);
  std::optional<std::string> contents;
  if (contentsName) contents = ReadObject(*contentsName);
  if (!contents) {
    for (const auto& [name, data] : objects_) {
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".hhc") == 0) {
        contents = data;
        break;
      }
    }
  }
  if (contents) {
    if (auto first = FirstContentsPage(*contents)) candidates.push_back(NormalizePath(*first));
  }
  candidates.emplace_back("/index.html");
  for (const std::string& candidate : candidates) {
    if (HasTopic(candidate)) {
      defaultTopic_ = candidate;
      break;
    }
  }
}

bool ChmReader::HasTopic(const std::string& topic) const {
  const std::string page = TrimAnchor(topic);
  return page.size() > 1 && objects_.count(Lower(page)) > 0;
}

bool ChmReader::Oversized(std::string_view path) const { return oversized_.count(Lower(NormalizePath(path))) > 0; }

std::optional<std::string> ChmReader::ReadObject(std::string_view path) const {
  const std::string key = Lower(NormalizePath(path));
  if (auto found = objects_.find(key); found != objects_.end()) return found->second;
  return std::nullopt;
}

bool ChmReader::CheckLayout(std::string_view bytes, std::uint64_t* expanded) {
  const LittleEndian file(bytes);
  // ITSF header: version 2 or 3 (3 adds the content offset).
  if (!file.Tag(0, "ITSF") || !file.Has(0, 0x58)) return false;
  const std::uint32_t version = file.U32(4);
  if ((version != 2 && version != 3) || (version == 3 && !file.Has(0, 0x60))) return false;
  const std::uint64_t dirOffset = file.U64(0x48);
  const std::uint64_t dirLength = file.U64(0x50);
  if (!file.Has(dirOffset, dirLength)) return false;
  const std::uint64_t dataOffset = version == 3 ? file.U64(0x58) : dirOffset + dirLength;
  if (!file.Has(dataOffset, 0)) return false;

  // ITSP header, then the chunks.
  if (dirLength < 0x54 || !file.Tag(dirOffset, "ITSP") || file.U32(dirOffset + 4) != 1) return false;
  const std::uint64_t headerLength = file.U32(dirOffset + 8);
  const std::uint32_t chunkLength = file.U32(dirOffset + 0x10);
  const std::int32_t indexRoot = file.I32(dirOffset + 0x1C);
  const std::int32_t indexHead = file.I32(dirOffset + 0x20);
  const std::uint32_t chunkCount = file.U32(dirOffset + 0x2C);
  if (headerLength < 0x54 || headerLength > dirLength) return false;
  if (chunkLength < 0x20 || chunkLength > kChunkLimit || chunkCount == 0) return false;
  if (chunkCount > (dirLength - headerLength) / chunkLength) return false;
  const auto inRange = [&](std::int64_t page) { return page >= 0 && page < static_cast<std::int64_t>(chunkCount); };
  if (!inRange(indexHead) || (indexRoot != -1 && !inRange(indexRoot))) return false;

  std::vector<Chunk> chunks(chunkCount);
  std::multimap<std::string, DirectoryEntry> entries;
  for (std::uint32_t i = 0; i < chunkCount; ++i) {
    const std::uint64_t at = dirOffset + headerLength + static_cast<std::uint64_t>(i) * chunkLength;
    if (!ParseChunk(bytes.substr(static_cast<std::size_t>(at), chunkLength), chunkCount, chunks[i], entries))
      return false;
  }
  // The listing chain that enumeration follows: listing chunks only, no page twice.
  std::vector<bool> seen(chunkCount, false);
  for (std::int64_t page = indexHead; page != -1; page = chunks[static_cast<std::size_t>(page)].next) {
    if (!inRange(page) || seen[static_cast<std::size_t>(page)] || !chunks[static_cast<std::size_t>(page)].listing)
      return false;
    seen[static_cast<std::size_t>(page)] = true;
  }
  // The index that lookups descend: no way round in a circle from the root.
  std::vector<int> state(chunkCount, 0);  // 0 new, 1 on the path, 2 done
  std::vector<std::pair<std::uint64_t, std::size_t>> path{{indexRoot == -1 ? indexHead : indexRoot, 0}};
  state[path.back().first] = 1;
  while (!path.empty()) {
    auto& [page, next] = path.back();
    const Chunk& chunk = chunks[static_cast<std::size_t>(page)];
    if (next == chunk.pages.size()) {
      state[static_cast<std::size_t>(page)] = 2;
      path.pop_back();
      continue;
    }
    const std::uint64_t child = chunk.pages[next++];
    if (state[static_cast<std::size_t>(child)] == 1) return false;
    if (state[static_cast<std::size_t>(child)] == 0) {
      state[static_cast<std::size_t>(child)] = 1;
      path.emplace_back(child, 0);
    }
  }
  std::uint64_t section = 0;
  if (!CheckCompressedSection(file, dataOffset, entries, section)) return false;
  if (expanded != nullptr) *expanded = section;
  return true;
}

std::optional<std::string> ChmReader::SystemRecord(std::string_view system, int code) {
  // 4 bytes of version, then records: u16 code, u16 length, data (little-endian).
  std::size_t at = 4;
  while (system.size() >= at + 4) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(system[i])); };
    const unsigned recordCode = byte(at) | byte(at + 1) << 8;
    const std::size_t length = byte(at + 2) | byte(at + 3) << 8;
    at += 4;
    if (system.size() - at < length) return std::nullopt;
    if (static_cast<int>(recordCode) == code) {
      std::string_view data = system.substr(at, length);
      data = data.substr(0, std::min(data.size(), data.find('\0')));
      if (data.empty()) return std::nullopt;
      return std::string(data);
    }
    at += length;
  }
  return std::nullopt;
}

std::optional<std::string> ChmReader::FirstContentsPage(std::string_view contents) {
  // <param name="Local" value="page.html">, attribute order and case as they come.
  const std::string lower = Lower(contents);
  std::size_t at = 0;
  while ((at = lower.find("<param", at)) != std::string::npos) {
    const std::size_t end = lower.find('>', at);
    if (end == std::string::npos) return std::nullopt;
    const std::string_view tag(lower.data() + at, end - at);
    if (tag.find("\"local\"") != std::string_view::npos || tag.find("=local") != std::string_view::npos) {
      const std::size_t value = tag.find("value=");
      if (value != std::string_view::npos) {
        std::size_t begin = at + value + 6;
        char quote = contents[begin];
        std::size_t stop;
        if (quote == '"' || quote == '\'') {
          ++begin;
          stop = contents.find(quote, begin);
        } else {
          stop = contents.find_first_of(" \t\r\n>", begin);
        }
        if (stop != std::string::npos && stop > begin && stop <= end) {
          return std::string(contents.substr(begin, stop - begin));
        }
      }
    }
    at = end;
  }
  return std::nullopt;
}

std::string ChmReader::NormalizePath(std::string_view name) {
  std::string path(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.empty()) return path;
  if (path.front() != '/') path.insert(path.begin(), '/');
  return path;
}

}  // namespace luckyscope
