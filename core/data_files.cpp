// Search-target files ("dat"), winning-number files ("ban") and comma-separated files
// ("csv") holding either kind: classifying a path, loading a file into its table and
// writing a table to a file.

#include "core/data_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/file_io.h"
#include "core/matching.h"
#include "core/text_util.h"

namespace luckyscope {

namespace {

// Paths are held in 512-byte buffers all over the program: a longer one would have
// to be cut into some other name, so it is refused instead.
bool FitsPathBuffer(const char* path) { return path != nullptr && strnlen(path, kPathSize) < kPathSize; }

// First line of a csv file the program writes, so that the file opens again as the
// same kind whatever its first record looks like. The readers skip it as a comment.
constexpr char kTargetMarker[] = "#DAT";
constexpr char kWinningMarker[] = "#BAN";

// Splits at runs of commas; leading commas are skipped, so no token is ever empty.
char* NextToken(char* line, char** save) { return strtok_r(line, ",", save); }

// A winning-number line that starts with '#' reads as a comment: a title or group
// that starts with '#' would be lost on the next load, and its pair lines read as
// title lines. Such a line is written with a leading comma, which the reader skips,
// so the text loads back as it was; every other line is written as it always was.
const char* CommentGuard(const char* text) { return text[0] == '#' ? "," : ""; }

}  // namespace

// ---------------------------------------------------------------------------
// Text helpers

char* NextCsvField(char* line, char separator, CsvFieldState& state) {
  char* start;
  if (line != nullptr) {
    start = line;
    state.more = true;
  } else if (state.more && state.next != nullptr) {
    start = state.next;
  } else {
    return nullptr;
  }
  bool quoted = false;
  if (*start == '"') {
    ++start;
    quoted = true;
  }
  char* p = start;
  for (;; ++p) {
    if (*p == '\0') {
      state.more = false;
      state.next = nullptr;
      break;
    }
    if (*p == separator && !quoted) {
      *p = '\0';
      state.next = p + 1;
      break;
    }
    if (*p == '"') quoted = !quoted;
  }
  if (p != start && p[-1] == '"') p[-1] = '\0';
  return start;
}

int DirectoryPart(const char* path, char (&out)[kPathSize]) {
  CopyCut(out, path);
  char* cut = nullptr;
  for (char* p = out; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') cut = p;
  }
  if (cut == nullptr) cut = out;
  *cut = '\0';
  return 0;
}

bool HasCsvExtension(const char* path) { return path != nullptr && EndsWithNoCase(path, ".csv"); }

// ---------------------------------------------------------------------------
// Kinds and paths

int ClassifyDataFile(const char* path) {
  if (path == nullptr || path[0] == '\0') return kEmptyPath;
  if (!FitsPathBuffer(path)) return kUnusableFile;
  // The extension is the text from the path's last '.'; a path without one has none.
  if (EndsWithNoCase(path, ".dat")) return kTargetFile;
  if (EndsWithNoCase(path, ".ban")) return kWinningFile;
  if (EndsWithNoCase(path, ".csv")) return SniffCsvFile(path);
  return kUnusableFile;
}

int SniffCsvFile(const char* path) {
  if (!FitsPathBuffer(path)) return kUnusableFile;
  PieceReader reader;
  if (!reader.Open(path)) return kUnusableFile;
  char line[kLineBufferSize];
  int n = ReadStrippedLine(reader, line);
  reader.Close();
  if (n == 0) return kUnusableFile;
  if (std::strcmp(line, kTargetMarker) == 0) return kTargetFile;
  if (std::strcmp(line, kWinningMarker) == 0) return kWinningFile;
  // Otherwise the layout tells: three fields are a target line, a title and a count a
  // winning line. Commas inside quotes count as well.
  int commas = 0;
  for (const char* p = line; *p != '\0'; ++p) commas += *p == ',';
  if (commas == 2) return kTargetFile;
  if (commas == 1) return kWinningFile;
  return kUnusableFile;
}

int ResolveDataPath(const char* baseFolder, const char* name, char (&out)[kPathSize]) {
  out[0] = '\0';
  if (name == nullptr || name[0] == '\0') return 0;
  char folder[kPathSize];
  DirectoryPart(name, folder);
  // A name with a folder part is used as it is, and so is an absolute Linux path
  // such as "/a.dat" (whose folder part is empty); a bare name lives in the base
  // folder. A name whose only '\' is its first byte counts as one without a folder.
  if (folder[0] != '\0' || name[0] == '/') {
    if (!FitsPathBuffer(name)) return -1;
    CopyCut(out, name);
    return 0;
  }
  int n = std::snprintf(out, sizeof out, "%s/%s", baseFolder, name);
  if (n < 0 || n >= kPathSize) {
    out[0] = '\0';
    return -1;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Readers

int ReadTargetFile(LotteryStore& store, const char* path) {
  if (!FitsPathBuffer(path)) return kFileCannotOpen;
  PieceReader reader;
  if (!reader.Open(path)) return kFileCannotOpen;
  store.ClearTargets();
  SearchTarget* slots = store.TargetSlots();
  int stored = 0;
  char line[kLineBufferSize];
  while (stored < kMaxTargets) {
    if (ReadStrippedLine(reader, line) == 0) break;
    if (line[0] == '\0' || line[0] == '#' || std::strchr(line, ',') == nullptr) continue;
    CsvFieldState fields;
    char* name = NextCsvField(line, ',', fields);
    char* group = NextCsvField(nullptr, ',', fields);
    char* number = NextCsvField(nullptr, ',', fields);
    // A line without its number gives no target; later fields (saved results) are
    // not read back.
    if (number == nullptr) continue;
    SearchTarget& slot = slots[stored++];
    CopyCut(slot.name, name);
    CopyCut(slot.group, group);
    CopyCut(slot.number, number);
  }
  store.SetTargetCount(stored);
  store.SetTargetsChanged(0);
  return kFileDone;
}

int ReadWinningFile(LotteryStore& store, const char* path) {
  if (!FitsPathBuffer(path)) return kFileCannotOpen;
  PieceReader reader;
  if (!reader.Open(path)) return kFileCannotOpen;
  store.ClearWinningEntries();
  WinningEntry* slots = store.WinningSlots();
  int stored = 0;
  char line[kLineBufferSize];
  WinningEntry entry;
  while (stored < kMaxWinningEntries) {
    if (ReadStrippedLine(reader, line) == 0) break;
    if (line[0] == '\0' || line[0] == '#') continue;

    std::memset(&entry, 0, sizeof entry);
    char* save = nullptr;
    char* title = NextToken(line, &save);
    char* countText = title != nullptr ? NextToken(nullptr, &save) : nullptr;
    if (title != nullptr) {
      CopyCut(entry.title, title);
    } else {
      std::snprintf(entry.title, sizeof entry.title, "No.%05d", stored + 1);
    }
    const int count = ClampPairCount(countText != nullptr ? ReadLenientInt(countText) : 0);

    // The count decides how many lines belong to the entry, whatever they hold.
    int kept = 0;
    for (int k = 0; k < count; ++k) {
      if (ReadStrippedLine(reader, line) == 0) break;
      if (line[0] == '\0' || line[0] == '#') continue;
      char* pairSave = nullptr;
      char* group = NextToken(line, &pairSave);
      char* number = group != nullptr ? NextToken(nullptr, &pairSave) : nullptr;
      if (number == nullptr) continue;
      CopyCut(entry.pairs[kept].group, group);
      CopyCut(entry.pairs[kept].number, number);
      ++kept;
    }
    // An entry without a single pair is dropped; the next title line takes its slot.
    if (kept == 0) continue;
    entry.pairCount = kept;
    slots[stored++] = entry;
  }
  store.SetWinningCount(stored);
  store.SetWinningChanged(0);
  // Hit results referred to the old winning numbers; they are not unsaved data.
  SearchTarget* targets = store.TargetSlots();
  for (int i = 0; i < store.TargetCount(); ++i) {
    targets[i].hit = 0;
    targets[i].hitMask = 0;
  }
  return kFileDone;
}

// ---------------------------------------------------------------------------
// Files that are not text

namespace {

// Bytes that never stand alone in CP932 text: NUL and the other control bytes (tab,
// the line ends and 0x1A, the old end-of-file mark, aside), DEL, and the bytes no
// character starts with.
bool NeverInText(unsigned char c) {
  if (c < 0x20) return c != '\t' && c != '\r' && c != '\n' && c != 0x1A;
  return c == 0x7F || c == 0x80 || c == 0xA0 || c >= 0xFD;
}

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Where a field or a line ends. A name, title or group cut at its byte limit may end
// in the lead byte of a double-byte character; the writers then put one of these
// after it.
bool EndsField(unsigned char c) { return c == '"' || c == ',' || c == '\t' || c == '\r' || c == '\n'; }

// True when the `size` bytes could be a line of a data file: no byte that never
// occurs in CP932 text, and no lead byte followed by anything but its second byte or
// the end of its field.
bool IsCp932Text(const unsigned char* bytes, int size) {
  for (int i = 0; i < size; ++i) {
    const unsigned char c = bytes[i];
    if (IsLeadByte(c)) {
      if (i + 1 == size || EndsField(bytes[i + 1])) continue;
      if (!IsTrailByte(bytes[i + 1])) return false;
      ++i;
      continue;
    }
    if (NeverInText(c)) return false;
  }
  return true;
}

}  // namespace

bool LooksLikeBinary(const char* path) {
  if (!FitsPathBuffer(path)) return false;
  PieceReader reader;
  if (!reader.Open(path)) return false;
  // The first lines are enough to tell a picture or a program from text.
  constexpr int kLinesLooked = 200;
  char piece[kLineBufferSize];
  int lines = 0;
  int foreign = 0;
  for (int n; lines < kLinesLooked && (n = reader.ReadPiece(piece)) > 0; ++lines) {
    const int text = piece[n - 1] == '\n' ? n - 1 : n;
    if (!IsCp932Text(reinterpret_cast<const unsigned char*>(piece), text)) ++foreign;
  }
  return lines > 0 && foreign * 2 > lines;
}

// ---------------------------------------------------------------------------
// Writers

namespace {

// A writer's failure: its result, with the reason handed to the caller that wants it.
int Failed(int result, int reason, int* errorNumber) {
  if (errorNumber != nullptr) *errorNumber = reason;
  return result;
}

}  // namespace

int WriteTargetFile(LotteryStore& store, const char* path, bool withResults, const WriteFault* fault,
                    int* errorNumber) {
  const int count = store.TargetCount();
  if (count <= 0) return kFileNothingToSave;
  if (!FitsPathBuffer(path)) return Failed(kFileCannotOpen, ENAMETOOLONG, errorNumber);
  SafeFileWriter writer(fault);
  if (!writer.Open(path)) return Failed(kFileCannotOpen, writer.ErrorNumber(), errorNumber);
  bool ok = !HasCsvExtension(path) || writer.WriteLine(kTargetMarker);
  const SearchTarget* slots = store.TargetSlots();
  // Three quoted fields of at most 255 + 15 + 15 bytes and a quoted results field.
  char line[2 * kTextSize + 2 * kFieldSize + 32];
  char hits[kTextSize];
  for (int i = 0; ok && i < count; ++i) {
    const SearchTarget& t = slots[i];
    int n = std::snprintf(line, sizeof line, "\"%.255s\",\"%.15s\",\"%.15s\"", t.name, t.group, t.number);
    if (withResults && HitText(store, i, 1, hits) == 0 && hits[0] != '\0') {
      std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), ",\"%.255s\"", hits);
    }
    ok = writer.WriteLine(line);
  }
  if (!ok || !writer.Commit()) return Failed(kFileWriteFailed, writer.ErrorNumber(), errorNumber);
  store.SetTargetsChanged(0);
  return kFileDone;
}

int WriteWinningFile(LotteryStore& store, const char* path, const WriteFault* fault, int* errorNumber) {
  const int count = store.WinningCount();
  if (count <= 0) return kFileNothingToSave;
  if (!FitsPathBuffer(path)) return Failed(kFileCannotOpen, ENAMETOOLONG, errorNumber);
  SafeFileWriter writer(fault);
  if (!writer.Open(path)) return Failed(kFileCannotOpen, writer.ErrorNumber(), errorNumber);
  bool ok = !HasCsvExtension(path) || writer.WriteLine(kWinningMarker);
  const WinningEntry* slots = store.WinningSlots();
  char line[kTextSize + 17];
  for (int j = 0; ok && j < count; ++j) {
    const WinningEntry& e = slots[j];
    const int pairs = ClampPairCount(e.pairCount);
    std::snprintf(line, sizeof line, "%s%.255s,%d", CommentGuard(e.title), e.title, pairs);
    ok = writer.WriteLine(line);
    for (int k = 0; ok && k < pairs; ++k) {
      std::snprintf(line, sizeof line, "%s%.15s,%.15s", CommentGuard(e.pairs[k].group), e.pairs[k].group,
                    e.pairs[k].number);
      ok = writer.WriteLine(line);
    }
  }
  if (!ok || !writer.Commit()) return Failed(kFileWriteFailed, writer.ErrorNumber(), errorNumber);
  store.SetWinningChanged(0);
  return kFileDone;
}

}  // namespace luckyscope
