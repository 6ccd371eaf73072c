#include "profile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>

#include "text_win32.h"
#else
#include <cstdlib>
#include <unistd.h>
#endif

namespace sorvane::saver::profile {

namespace {

using Bytes = std::string;

bool IsBlank(unsigned char c) { return c == 0x20 || c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x1A; }

bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// Length in bytes of the character at s[i], not reaching past end.
size_t CharLength(const Bytes& s, size_t i, size_t end) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (IsLeadByte(c) && i + 1 < end && IsTrailByte(static_cast<unsigned char>(s[i + 1]))) return 2;
  return 1;
}

void Trim(const Bytes& s, size_t* b, size_t* e) {
  while (*b < *e && IsBlank(static_cast<unsigned char>(s[*b]))) ++*b;
  while (*e > *b && IsBlank(static_cast<unsigned char>(s[*e - 1]))) --*e;
}

Bytes Trimmed(const Bytes& s) {
  size_t b = 0, e = s.size();
  Trim(s, &b, &e);
  return s.substr(b, e - b);
}

struct Line {
  enum Kind { kBlank, kHeader, kKey } kind = kBlank;
  size_t begin = 0, end = 0, next = 0;  // text [begin, end), line end [end, next)
  size_t name_b = 0, name_e = 0;        // section or key name, trimmed
  bool has_value = false;
  size_t value_b = 0, value_e = 0;      // value, trimmed
};

Line ParseLine(const Bytes& s, size_t begin, size_t end, size_t next) {
  Line l;
  l.begin = begin;
  l.end = end;
  l.next = next;
  size_t b = begin, e = end;
  Trim(s, &b, &e);
  if (b == e) return l;
  if (s[b] == '[') {
    size_t close = e;
    for (size_t i = b + 1; i < e; i += CharLength(s, i, e)) {
      if (s[i] == ']') close = i;
    }
    if (close != e) {
      l.kind = Line::kHeader;
      l.name_b = b + 1;
      l.name_e = close;
      Trim(s, &l.name_b, &l.name_e);
      return l;
    }
  }
  l.kind = Line::kKey;
  size_t eq = e;
  for (size_t i = b; i < e; i += CharLength(s, i, e)) {
    if (s[i] == '=') {
      eq = i;
      break;
    }
  }
  l.name_b = b;
  l.name_e = eq;
  Trim(s, &l.name_b, &l.name_e);
  if (eq != e) {
    l.has_value = true;
    l.value_b = eq + 1;
    l.value_e = e;
    Trim(s, &l.value_b, &l.value_e);
  }
  return l;
}

// Where a section and a key stand in a file, as far as Windows would look.
struct Place {
  bool section_found = false;
  size_t insert_at = 0;  // just after the last non-blank line of the section
  bool key_found = false;
  Line key;
};

Place Find(const Bytes& s, const Bytes& section_in, const Bytes& key_in) {
  const Bytes section = Trimmed(section_in);
  const Bytes key = Trimmed(key_in);
  Place p;
  // Key lines before the first header belong to a section without a name.
  bool in_section = section.empty();
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    size_t e = i;
    while (e < n && s[e] != '\r' && s[e] != '\n') ++e;
    size_t next = e;
    if (next < n) next += (s[next] == '\r' && next + 1 < n && s[next + 1] == '\n') ? 2 : 1;
    Line l = ParseLine(s, i, e, next);
    if (l.kind == Line::kHeader) {
      if (p.section_found) break;  // only the first matching section counts
      in_section = NamesMatch(s.substr(l.name_b, l.name_e - l.name_b), section);
    }
    if (in_section && l.kind != Line::kBlank) {
      if (!p.section_found) p.section_found = true;
      p.insert_at = l.next;
      if (l.kind == Line::kKey && NamesMatch(s.substr(l.name_b, l.name_e - l.name_b), key)) {
        p.key_found = true;
        p.key = l;
        return p;
      }
    }
    i = next;
  }
  return p;
}

bool EndsInNewline(const Bytes& s) { return !s.empty() && (s.back() == '\n' || s.back() == '\r'); }

}  // namespace

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool NamesMatch(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    size_t la = CharLength(a, i, a.size()), lb = CharLength(b, j, b.size());
    if (la != lb) return false;
    if (la == 2) {
      if (a[i] != b[j] || a[i + 1] != b[j + 1]) return false;
    } else {
      unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[j]);
      if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
      if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
      if (x != y) return false;
    }
    i += la;
    j += lb;
  }
  return i == a.size() && j == b.size();
}

std::optional<std::string> Lookup(const std::string& contents, const std::string& section,
                                  const std::string& key) {
  Place p = Find(contents, section, key);
  if (!p.key_found || !p.key.has_value) return std::nullopt;
  size_t b = p.key.value_b, e = p.key.value_e;
  if (e - b >= 2 && (contents[b] == '"' || contents[b] == '\'') && contents[e - 1] == contents[b]) {
    ++b;
    --e;
  }
  return contents.substr(b, e - b);
}

bool Update(std::string* contents, const std::string& section, const std::string& key,
            const std::string& value) {
  Bytes& s = *contents;
  Place p = Find(s, section, key);
  if (p.key_found) {
    const Line& l = p.key;
    if (l.has_value && s.compare(l.value_b, l.value_e - l.value_b, value) == 0) return false;
    Bytes line = s.substr(l.name_b, l.name_e - l.name_b) + "=" + value;
    s.replace(l.begin, l.end - l.begin, line);
    return true;
  }
  const Bytes new_line = Trimmed(key) + "=" + value + "\r\n";
  if (p.section_found) {
    Bytes insert = new_line;
    // The section's last line may be the file's last line, without a newline.
    if (p.insert_at > 0 && s[p.insert_at - 1] != '\n' && s[p.insert_at - 1] != '\r') {
      insert = "\r\n" + insert;
    }
    s.insert(p.insert_at, insert);
    return true;
  }
  if (!s.empty() && !EndsInNewline(s)) s += "\r\n";
  s += "[" + Trimmed(section) + "]\r\n" + new_line;
  return true;
}

// ---- Files -----------------------------------------------------------------

namespace {

enum class ReadResult { kOk, kMissing, kFailed };

#ifdef _WIN32

// On Windows the settings file goes through this reader and writer where the
// system's code page is not 932 (kernel32's would read our bytes in another
// code page). The path is code page 932 like every text of the program; the
// program folder goes by its UTF-16 name.
ReadResult ReadFile(const std::string& path, Bytes* out) {
  out->clear();
  if (path.empty()) return ReadResult::kFailed;
  int fd = _wopen(WidePath(path).c_str(), _O_RDONLY | _O_BINARY);
  if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  struct _stat64 st;
  ReadResult r = _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFREG) ? ReadResult::kOk : ReadResult::kFailed;
  char buf[65536];
  for (int got; r == ReadResult::kOk && (got = _read(fd, buf, sizeof buf)) != 0;) {
    if (got < 0) r = ReadResult::kFailed;
    else out->append(buf, static_cast<size_t>(got));
  }
  _close(fd);
  return r;
}

bool WriteFile(const std::string& path, const Bytes& data, bool existed) {
  const std::wstring wide = WidePath(path);
  int fd = existed ? _wopen(wide.c_str(), _O_WRONLY | _O_BINARY)
                   : _wopen(wide.c_str(), _O_WRONLY | _O_BINARY | _O_CREAT | _O_EXCL,
                            _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < data.size();) {
    unsigned chunk = static_cast<unsigned>(std::min<size_t>(data.size() - done, 1u << 20));
    int put = _write(fd, data.data() + done, chunk);
    ok = put > 0;
    if (ok) done += static_cast<size_t>(put);
  }
  if (ok) ok = _chsize_s(fd, static_cast<long long>(data.size())) == 0;
  if (_close(fd) != 0) ok = false;
  return ok;
}

#else

ReadResult ReadFile(const std::string& path, Bytes* out) {
  out->clear();
  if (path.empty()) return ReadResult::kFailed;
  // O_NONBLOCK: a FIFO of that name must not keep the reader waiting.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  struct stat st;
  ReadResult r = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ReadResult::kOk : ReadResult::kFailed;
  char buf[65536];
  for (ssize_t got; r == ReadResult::kOk && (got = read(fd, buf, sizeof buf)) != 0;) {
    if (got < 0 && errno != EINTR) r = ReadResult::kFailed;
    else if (got > 0) out->append(buf, static_cast<size_t>(got));
  }
  close(fd);
  return r;
}

bool WriteAll(int fd, const Bytes& data) {
  for (size_t done = 0; done < data.size();) {
    ssize_t put = write(fd, data.data() + done, data.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// The new contents go to a file beside the old one, which then takes its
// place: a write that fails half way (a full disk) leaves the old file whole.
// The old file must be writable itself, as it must be on Windows.
bool WriteFile(const std::string& path, const Bytes& data, bool existed) {
  if (!existed) {
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_CREAT | O_EXCL, 0666);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, data);
    if (close(fd) != 0) ok = false;
    if (!ok) unlink(path.c_str());
    return ok;
  }
  int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  struct stat lst;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok && lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    // A link stays a link: write through it in place.
    ok = WriteAll(fd, data) && ftruncate(fd, static_cast<off_t>(data.size())) == 0;
    if (close(fd) != 0) ok = false;
    return ok;
  }
  close(fd);
  if (!ok) return false;
  std::string temp = path + ".XXXXXX";
  int tfd = mkstemp(&temp[0]);
  if (tfd < 0) return false;
  ok = WriteAll(tfd, data) && fchmod(tfd, st.st_mode & 07777) == 0 && fsync(tfd) == 0;
  if (close(tfd) != 0) ok = false;
  if (ok) ok = rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

#endif

}  // namespace

std::string GetString(const std::string& path, const std::string& section,
                      const std::string& key) {
  Bytes contents;
  if (ReadFile(path, &contents) != ReadResult::kOk) return std::string();
  std::optional<std::string> v = Lookup(contents, section, key);
  if (!v) return std::string();
  size_t nul = v->find('\0');
  if (nul != std::string::npos) v->resize(nul);
  return *v;
}

bool WriteString(const std::string& path, const std::string& section, const std::string& key,
                 const std::string& value) {
  Bytes contents;
  ReadResult r = ReadFile(path, &contents);
  if (r == ReadResult::kFailed) return false;
  if (!Update(&contents, section, key, value)) return true;
  return WriteFile(path, contents, r == ReadResult::kOk);
}

}  // namespace sorvane::saver::profile
