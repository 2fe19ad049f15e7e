#include "app/chm_reader.h"

#include <chm_lib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

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
  std::map<std::string, std::string>* objects;
  std::size_t total = 0;
};

// Objects worth keeping: the pages and pictures, and the "/#SYSTEM" record list.
bool WantObject(const char* path) {
  if (path[0] != '/') return false;                        // "::DataSpace/..." internals
  const std::size_t len = std::strlen(path);
  if (len == 0 || path[len - 1] == '/') return false;      // folders
  if (path[1] == '#' || path[1] == '$') return std::strcmp(path, "/#SYSTEM") == 0;
  return true;
}

int CollectObject(chmFile* file, chmUnitInfo* info, void* context) {
  auto* state = static_cast<EnumerateState*>(context);
  if (!WantObject(info->path)) return CHM_ENUMERATOR_CONTINUE;
  if (info->length > ChmReader::kMaxObjectBytes ||
      state->total + info->length > ChmReader::kMaxTotalBytes) {
    return CHM_ENUMERATOR_CONTINUE;
  }
  std::string data(static_cast<std::size_t>(info->length), '\0');
  if (info->length > 0) {
    const LONGINT64 got = chm_retrieve_object(
        file, info, reinterpret_cast<unsigned char*>(data.data()), 0, static_cast<LONGINT64>(info->length));
    if (got != static_cast<LONGINT64>(info->length)) return CHM_ENUMERATOR_CONTINUE;  // damaged: leave it out
  }
  state->total += data.size();
  (*state->objects)[info->path] = std::move(data);
  return CHM_ENUMERATOR_CONTINUE;
}

bool ReadWithChmlib(const std::string& path, std::map<std::string, std::string>& objects) {
  chmFile* file = chm_open(path.c_str());
  if (file == nullptr) return false;
  EnumerateState state{&objects};
  chm_enumerate(file, CHM_ENUMERATE_ALL, CollectObject, &state);
  chm_close(file);
  return true;
}

// --- the pipe between the reading child and the program ---------------------------
// Stream: for each object, u32 path length, path, u64 data length, data; then a path
// length of 0xFFFFFFFF as the end mark. Integers in host order (same process image).
constexpr std::uint32_t kEndMark = 0xFFFFFFFFu;

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

[[noreturn]] void RunChild(const std::string& path, int out) {
  alarm(ChmReader::kTimeoutMs / 1000 + 1);  // a looping chmlib ends here at the latest
  std::map<std::string, std::string> objects;
  if (!ReadWithChmlib(path, objects)) _exit(2);
  for (const auto& [name, data] : objects) {
    const auto nameLen = static_cast<std::uint32_t>(name.size());
    const auto dataLen = static_cast<std::uint64_t>(data.size());
    if (!WriteAll(out, &nameLen, sizeof nameLen) || !WriteAll(out, name.data(), name.size()) ||
        !WriteAll(out, &dataLen, sizeof dataLen) || !WriteAll(out, data.data(), data.size())) {
      _exit(3);
    }
  }
  const std::uint32_t end = kEndMark;
  if (!WriteAll(out, &end, sizeof end)) _exit(3);
  _exit(0);
}

bool ParseStream(const std::string& stream, std::map<std::string, std::string>& objects) {
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
    if (!take(&dataLen, sizeof dataLen) || stream.size() - at < dataLen) return false;
    objects[std::move(name)] = stream.substr(at, static_cast<std::size_t>(dataLen));
    at += static_cast<std::size_t>(dataLen);
  }
}

bool ReadInChild(const std::string& path, std::map<std::string, std::string>& objects) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
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
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
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
  if (overflow || done != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  return ParseStream(stream, objects);
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
  objects_.clear();
  defaultTopic_.clear();
  title_.clear();
}

bool ChmReader::Open(const std::string& path) {
  Clear();
  if (!IsRegularFile(path)) return false;
  std::map<std::string, std::string> objects;
  if (!ReadInChild(path, objects)) return false;
  Adopt(std::move(objects));
  return true;
}

bool ChmReader::OpenInProcess(const std::string& path) {
  Clear();
  if (!IsRegularFile(path)) return false;
  std::map<std::string, std::string> objects;
  if (!ReadWithChmlib(path, objects)) return false;
  Adopt(std::move(objects));
  return true;
}

void ChmReader::Adopt(std::map<std::string, std::string> objects) {
  for (auto& [name, data] : objects) objects_[Lower(NormalizePath(name))] = std::move(data);
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

std::optional<std::string> ChmReader::ReadObject(std::string_view path) const {
  const std::string key = Lower(NormalizePath(path));
  if (auto found = objects_.find(key); found != objects_.end()) return found->second;
  return std::nullopt;
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
