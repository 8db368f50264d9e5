#include "export/KmlExport.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iterator>

#include "core/RunHooks.h"
#include "export/Writers.h"
#include "export/XmlText.h"

namespace morphel::exporting {

namespace {

constexpr const char* kReadingSchema = "readings";
constexpr const char* kPagingSchema = "paging";
// What a copy into the document wants free in its buffer before it reads.
constexpr size_t kCopyRoom = 64 * 1024;

// The file name without folder and extension.
std::string Stem(const std::string& path) {
  const size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Where the temporary files go: beside the output (the disk that takes the
// map), unless the output is no plain file (a device); then the system's
// temporary folder.
std::vector<std::string> SpillFolders(const std::string& path) {
  std::vector<std::string> folders;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) {
    const size_t slash = path.rfind('/');
    folders.push_back(slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash));
  }
  const char* tmp = std::getenv("TMPDIR");
  folders.emplace_back(tmp && *tmp ? tmp : "/tmp");
  return folders;
}

// A file without a name in the folder: it is gone when closed, however the
// program ends.
int NamelessFile(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  // File systems without O_TMPFILE: a named file, its name removed at once.
  std::string name = folder + "/.morphel-kml-XXXXXX";
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

const char* KmlType(const Column& column) {
  switch (column.kind) {
    case CellKind::Integer:
      return column.wide ? "uint" : "int";
    case CellKind::Real:
      return "double";
    case CellKind::Boolean:
      return "bool";
    default:
      return "string";
  }
}

void AppendSchema(std::string& out, const char* id, std::span<const Column> columns) {
  fmt::format_to(std::back_inserter(out), "<Schema name=\"{}\" id=\"{}\">\n", id, id);
  for (const Column& c : columns)
    fmt::format_to(std::back_inserter(out), "<SimpleField name=\"{}\" type=\"{}\"/>\n", c.name,
                   KmlType(c));
  out.append("</Schema>\n");
}

void AppendFolderStart(std::string& out, std::string_view name) {
  out.append("<Folder><name>");
  AppendXmlText(out, name);
  out.append("</name>\n");
}

}  // namespace

// A folder's placemarks on their way into the document: a nameless file with
// a buffer of its own, emptied into the document when the folder ends and
// then used again.
class SpillFile {
 public:
  ~SpillFile() {
    out_.Close();
    if (fd_ >= 0) ::close(fd_);
  }

  // A new file beside the export at `path`, else in the system's temporary
  // folder.
  bool Open(const std::string& path, std::string& error) {
    owner_ = path;
    int err = 0;
    for (const std::string& folder : SpillFolders(path)) {
      fd_ = NamelessFile(folder);
      if (fd_ >= 0 && out_.OpenDescriptor(fd_, true)) {
        where_ = folder;
        return true;
      }
      err = fd_ >= 0 ? out_.Error() : errno;
      if (fd_ >= 0) ::close(fd_);
      fd_ = -1;
    }
    error = SystemReason(path + ": no temporary file for its folders", err);
    return false;
  }

  OutputFile& Out() { return out_; }
  bool Failed() const { return out_.Failed(); }
  std::string Error() const { return Reason(out_.Error()); }

  // Appends what it holds to `to` and empties itself for the next folder.
  // The bytes are read straight into the buffer of `to`.
  bool MoveTo(OutputFile& to, std::string& error) {
    out_.Flush();
    if (out_.Failed()) {
      error = Error();
      return false;
    }
    off_t at = 0;
    while (true) {
      if (static_cast<size_t>(to.BufferEnd() - to.Cursor()) < kCopyRoom) to.Flush();
      const ssize_t n =
          ::pread(fd_, to.Cursor(), static_cast<size_t>(to.BufferEnd() - to.Cursor()), at);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = Reason(errno);
        return false;
      }
      if (n == 0) break;
      to.MoveCursor(to.Cursor() + n);
      at += n;
    }
    // The copy writing through `out_` shares this descriptor's offset.
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
      error = Reason(errno);
      return false;
    }
    return true;
  }

 private:
  std::string Reason(int err) const {
    return SystemReason(owner_ + ": its temporary file in " + where_, err);
  }

  int fd_ = -1;
  OutputFile out_;
  std::string owner_;  // the export's file
  std::string where_;  // the folder of this one
};

KmlExport::KmlExport(const ExportSettings& settings)
    : path_(settings.path), bands_(settings.bandEdges) {}

KmlExport::~KmlExport() {
  Close();
}

bool KmlExport::Fail(const std::string& error) {
  if (!failed_) error_ = error;
  failed_ = true;
  return false;
}

// Any write that failed since the last look.
bool KmlExport::Check() {
  if (failed_) return false;
  if (out_.Failed()) return Fail(SystemReason(path_, out_.Error()));
  for (const Folder& f : folders_)
    if (f.spill && f.spill->Failed()) return Fail(f.spill->Error());
  for (const auto* spill : {paging_.get(), routes_.get()})
    if (spill && spill->Failed()) return Fail(spill->Error());
  return true;
}

// The file and the document's head: name, legend, styles and schemas.
bool KmlExport::Begin() {
  if (!out_.Open(path_, true)) return Fail(SystemReason(path_, out_.Error()));
  line_.assign(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n<name>");
  AppendXmlText(line_, Stem(path_));
  line_.append("</name>\n<description>");
  AppendCdata(line_, bands_.Legend());
  line_.append("</description>\n");
  line_.append(bands_.StyleElements());
  AppendSchema(line_, kReadingSchema, ReadingColumns());
  AppendSchema(line_, kPagingSchema, PagingColumns());
  out_.Write(line_);
  return Check();
}

bool KmlExport::BeginLog(const Product&) {
  if (failed_) return false;
  if (!out_.IsOpen()) return Begin();
  // What an earlier log left open (a log that ended without EndLog).
  EndRoute();
  return CloseFolders() && Check();
}

bool KmlExport::EndLog() {
  if (failed_) return false;
  EndRoute();
  return CloseFolders() && Check();
}

std::unique_ptr<SpillFile> KmlExport::NewSpill() {
  if (!idle_.empty()) {
    std::unique_ptr<SpillFile> spill = std::move(idle_.back());
    idle_.pop_back();
    return spill;
  }
  auto spill = std::make_unique<SpillFile>();
  std::string error;
  if (!spill->Open(path_, error)) {
    Fail(error);
    return nullptr;
  }
  return spill;
}

bool KmlExport::MoveToDocument(SpillFile& spill) {
  spill.Out().Write("</Folder>\n");
  std::string error;
  if (!spill.MoveTo(out_, error)) return Fail(error);
  return true;
}

// The folders of the segment that ended, into the document in the order
// they began.
bool KmlExport::CloseFolders() {
  bool ok = true;
  for (Folder& f : folders_) {
    if (!f.spill) {
      out_.Write("</Folder>\n");
      continue;
    }
    ok = ok && MoveToDocument(*f.spill);
    idle_.push_back(std::move(f.spill));
  }
  folders_.clear();
  return ok;
}

// One folder per log, receiver and segment: the segment's first straight
// into the document.
KmlExport::Folder* KmlExport::FolderOf(const ReadingRecord& record, int receiver) {
  if (record.segment != segment_) {
    if (!CloseFolders()) return nullptr;
    segment_ = record.segment;
  }
  for (Folder& f : folders_)
    if (f.receiver == receiver) return &f;
  Folder folder;
  folder.receiver = receiver;
  folder.file = &out_;
  if (!folders_.empty()) {
    folder.spill = NewSpill();
    if (!folder.spill) return nullptr;
    folder.file = &folder.spill->Out();
  }
  std::string name = fmt::format("{} receiver {} segment {}", log_.name, receiver, record.segment);
  const std::string type = log_.SegmentCaption(record.segmentType);
  if (!type.empty()) name += " (" + type + ")";
  text_.clear();
  AppendFolderStart(text_, name);
  folder.file->Write(text_);
  folders_.push_back(std::move(folder));
  return &folders_.back();
}

OutputFile* KmlExport::Paging() {
  if (!paging_) {
    paging_ = NewSpill();
    if (!paging_) return nullptr;
    text_.clear();
    AppendFolderStart(text_, "Paging messages");
    paging_->Out().Write(text_);
  }
  return &paging_->Out();
}

// The placemark of the row in cells_, into line_.
void KmlExport::AppendPlacemark(std::string_view name, std::string_view style,
                                std::span<const Column> columns, const char* schema) {
  line_.assign("<Placemark><name>");
  AppendXmlText(line_, name);
  line_.append("</name><description>");
  html_.clear();
  AppendPlacemarkDescription(html_, columns, cells_);
  AppendCdata(line_, html_);
  line_.append("</description>");
  const Cell& time = cells_[0];
  if (time.kind == CellKind::Time && time.time.HasDate()) {
    line_.append("<TimeStamp><when>");
    line_.append(IsoTime(time.time));
    line_.append("</when></TimeStamp>");
  }
  line_.append("<styleUrl>#");
  line_.append(style);
  fmt::format_to(std::back_inserter(line_),
                 "</styleUrl><ExtendedData><SchemaData schemaUrl=\"#{}\">", schema);
  for (size_t i = 0; i < columns.size() && i < cells_.size(); ++i) {
    const Cell& cell = cells_[i];
    if (cell.kind == CellKind::Null) continue;
    line_.append("<SimpleData name=\"");
    line_.append(columns[i].name);
    line_.append("\">");
    text_.clear();
    if (cell.kind == CellKind::Boolean)
      text_.push_back(cell.integer ? '1' : '0');  // as XML Schema's boolean and GDAL read it
    else
      AppendCellText(text_, cell);
    AppendXmlText(line_, text_);
    line_.append("</SimpleData>");
  }
  line_.append("</SchemaData></ExtendedData>");
  // The point holds the values of the latitude and longitude columns.
  const Cell& latitude = cells_[2];
  const Cell& longitude = cells_[3];
  if (latitude.kind == CellKind::Real && longitude.kind == CellKind::Real) {
    line_.append("<Point><coordinates>");
    AppendCellText(line_, longitude);
    line_.push_back(',');
    AppendCellText(line_, latitude);
    line_.append("</coordinates></Point>");
  }
  line_.append("</Placemark>\n");
}

bool KmlExport::Take(const ReadingRecord& record) {
  if (failed_) return false;
  if (!out_.IsOpen()) return Fail(path_ + ": the KML export was not begun");
  for (const Reading& reading : record.readings) {
    Folder* folder = FolderOf(record, reading.receiver);
    if (!folder) return false;
    OutputFile* file = folder->file;
    ReadingCells(log_, record, reading, cells_);
    AppendPlacemark(PlacemarkName(reading), bands_.StyleId(reading), ReadingColumns(),
                    kReadingSchema);
    file->Write(line_);
    ++readings_;
  }
  for (const PagingMessage& message : record.messages) {
    OutputFile* file = Paging();
    if (!file) return false;
    MessageCells(log_, record, message, cells_);
    AppendPlacemark(MessageName(message), KmlBands::kMessageStyle, PagingColumns(), kPagingSchema);
    file->Write(line_);
    ++messages_;
  }
  if (record.position.fix && !record.readings.empty()) AddRoutePoint(record);
  return Check();
}

void KmlExport::AppendRoutePoint(const ReadingPosition& p) {
  Cell c;
  c.kind = CellKind::Real;
  c.decimals = kDegreePlaces;
  line_.clear();
  c.real = RoundTo(p.longitude, kDegreePlaces);
  AppendCellText(line_, c);
  line_.push_back(',');
  c.real = RoundTo(p.latitude, kDegreePlaces);
  AppendCellText(line_, c);
  line_.push_back('\n');
  routes_->Out().Write(line_);
}

// The route goes on in time: a row measured before the last point is no
// step back along the road. A route is a line through two places or more.
void KmlExport::AddRoutePoint(const ReadingRecord& record) {
  const ReadingPosition& p = record.position;
  if (routePlaces_ > 0 && record.time.Before(routeTime_)) return;
  routeTime_ = record.time;
  if (routePlaces_ > 0 && routeLast_.latitude == p.latitude && routeLast_.longitude == p.longitude)
    return;
  if (routePlaces_ == 1) {
    if (!routes_) {
      routes_ = NewSpill();
      if (!routes_) return;  // Take's check reports it
      text_.clear();
      AppendFolderStart(text_, "Route");
      routes_->Out().Write(text_);
    }
    text_.assign("<Placemark><name>");
    AppendXmlText(text_, "Route of " + log_.name);
    fmt::format_to(std::back_inserter(text_),
                   "</name><styleUrl>#{}</styleUrl><LineString><coordinates>\n",
                   KmlBands::kRouteStyle);
    routes_->Out().Write(text_);
    AppendRoutePoint(routeLast_);
  }
  if (routePlaces_ >= 1) AppendRoutePoint(p);
  routeLast_ = p;
  ++routePlaces_;
}

void KmlExport::EndRoute() {
  if (routePlaces_ >= 2 && routes_)
    routes_->Out().Write("</coordinates></LineString></Placemark>\n");
  routePlaces_ = 0;
}

bool KmlExport::Close() {
  if (!out_.IsOpen()) return !failed_;
  bool ok = !failed_;
  if (ok) {
    EndRoute();
    ok = CloseFolders() && (!paging_ || MoveToDocument(*paging_)) &&
         (!routes_ || MoveToDocument(*routes_)) && Check();
  }
  // A file that failed keeps what it has, without the document's end.
  if (ok) out_.Write("</Document>\n</kml>\n");
  if (!out_.Close() && ok) ok = Fail(SystemReason(path_, out_.Error()));
  folders_.clear();
  idle_.clear();
  paging_.reset();
  routes_.reset();
  return ok && !failed_;
}

size_t KmlExport::HeldBytes() const {
  size_t held = line_.capacity() + html_.capacity() + text_.capacity() +
                cells_.capacity() * sizeof(Cell) + folders_.capacity() * sizeof(Folder) +
                idle_.capacity() * sizeof(idle_[0]);
  size_t files = out_.IsOpen() ? 1 : 0;
  for (const Folder& f : folders_) files += f.spill ? 1 : 0;
  files += idle_.size() + (paging_ ? 1 : 0) + (routes_ ? 1 : 0);
  return held + files * (OutputFile::kBufferSize + sizeof(SpillFile));
}

std::unique_ptr<ExportSink> CreateKmlExport(const ExportSettings& settings) {
  return std::make_unique<KmlExport>(settings);
}

}  // namespace morphel::exporting
