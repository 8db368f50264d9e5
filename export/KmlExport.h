#pragma once
// KML for Google Earth, written by Morphel itself as plain text through
// buffered files, in the same memory however long the drive: no GDAL, so KML
// is there even where the GDAL module is not.
//
// The document: the band legend in its description, the styles, a schema of
// the reading and the paging columns, then a folder per log, receiver and
// segment, the paging messages' folder and the route's folder. A reading is a
// placemark named by its level, styled by its band, with a time stamp when
// it has a date, its values in a balloon and as extended data, and a point
// when it has a fix.
//
// Readings come in time order with the receivers of a segment interleaved,
// but a folder holds one receiver: the first folder of a segment goes
// straight into the document, the others gather in temporary files (without
// a name, so nothing is left behind) and follow it when the segment ends.
// The paging messages and the routes gather likewise until the file is
// closed. A write that fails is reported by the call that meets it and by
// Close; a file that failed is left without its closing tags, so no reader
// takes it for a whole map.

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/OutputFile.h"
#include "export/Export.h"
#include "export/KmlStyle.h"

namespace morphel::exporting {

class SpillFile;

class KmlExport : public ExportSink {
 public:
  explicit KmlExport(const ExportSettings& settings);
  // Finishes the document of an export that was not closed and did not fail.
  ~KmlExport() override;
  KmlExport(const KmlExport&) = delete;
  KmlExport& operator=(const KmlExport&) = delete;

  bool BeginLog(const Product& reader) override;
  bool Take(const ReadingRecord& record) override;
  bool EndLog() override;
  bool Close() override;

  // Bytes the export holds in memory: its files' buffers, its open folders
  // and the texts of the placemark in hand. They do not grow with the
  // points written.
  size_t HeldBytes() const;

 private:
  struct Folder {
    int receiver = 0;
    OutputFile* file = nullptr;        // the document, or the spill
    std::unique_ptr<SpillFile> spill;  // none for the folder written into the document
  };

  bool Begin();
  Folder* FolderOf(const ReadingRecord& record, int receiver);
  bool CloseFolders();
  std::unique_ptr<SpillFile> NewSpill();
  OutputFile* Paging();
  void AppendPlacemark(std::string_view name, std::string_view style,
                       std::span<const Column> columns, const char* schema);
  void AddRoutePoint(const ReadingRecord& record);
  void AppendRoutePoint(const ReadingPosition& p);
  void EndRoute();
  bool MoveToDocument(SpillFile& spill);
  bool Check();
  bool Fail(const std::string& error);

  std::string path_;
  KmlBands bands_;
  OutputFile out_;
  bool failed_ = false;
  int segment_ = -1;                              // of the open folders
  std::vector<Folder> folders_;                   // open, in the order they began
  std::vector<std::unique_ptr<SpillFile>> idle_;  // spills of closed folders, empty
  std::unique_ptr<SpillFile> paging_;
  std::unique_ptr<SpillFile> routes_;
  // The route of the log being read: its first place until a second comes.
  int routePlaces_ = 0;
  ReadingPosition routeLast_;
  ReadingTime routeTime_;
  // The placemark in hand.
  std::vector<Cell> cells_;
  std::string line_, html_, text_;
};

}  // namespace morphel::exporting
