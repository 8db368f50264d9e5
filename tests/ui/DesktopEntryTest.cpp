// The desktop entry, the log types and the install rules: what a desktop
// needs to list Morphel in its menu and offer it for a receiver log.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <sstream>

#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "tests/TestSupport.h"
#include "tests/ui/GuiTestSupport.h"

namespace morphel::ui::test {
namespace {

using morphel::test::ReadFile;

// A key of a desktop entry's main group ("Icon", "MimeType").
std::string DesktopValue(const std::string& file, const std::string& key) {
  std::istringstream lines(ReadFile(file));
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  return {};
}

// The entry passes the desktop's own checker and offers Morphel for every
// log type, each of which the MIME package defines.
TEST(DesktopEntry, ValidatesAndOffersMorphelForEveryLogType) {
  const QString data = QStringLiteral(MORPHEL_SOURCE_DIR "/ui/data/");
  const QString entry = data + "morphel-gui.desktop";
  QProcess validate;
  validate.start(QStringLiteral("desktop-file-validate"), {entry});
  ASSERT_TRUE(validate.waitForFinished(kRunTimeoutMs))
      << "desktop-file-validate (scripts/install-deps)";
  EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
  EXPECT_TRUE(validate.readAllStandardOutput().isEmpty());

  QStringList types =
      QString::fromStdString(DesktopValue(entry.toStdString(), "MimeType")).split(';');
  types.removeAll(QString());

  QTemporaryDir mime;
  ASSERT_TRUE(QDir(mime.path()).mkpath(QStringLiteral("packages")));
  ASSERT_TRUE(QFile::copy(data + "morphel-logs.xml", mime.path() + "/packages/morphel-logs.xml"));
  QProcess update;
  update.start(QStringLiteral("update-mime-database"), {mime.path()});
  ASSERT_TRUE(update.waitForFinished(kRunTimeoutMs));
  ASSERT_EQ(update.exitCode(), 0) << update.readAllStandardError().toStdString();
  const std::string globs = ReadFile(mime.path().toStdString() + "/globs2");
  const std::string magic = ReadFile(mime.path().toStdString() + "/magic");
  for (const ProductRow& p : ProductRows()) {
    if (!p.Supported()) continue;
    const std::string extension = p.extensions.front();
    // ".bin" is everybody's: Zev PC card logs are known by their first record.
    std::string type;
    if (extension == ".bin") {
      type = "application/x-qvr-zev-card-log";
      EXPECT_NE(magic.find(type), std::string::npos);
    } else {
      const size_t at = globs.find(":*" + extension + "\n");
      ASSERT_NE(at, std::string::npos) << extension;
      const size_t start = globs.rfind(':', at - 1) + 1;
      type = globs.substr(start, at - start);
    }
    EXPECT_TRUE(types.contains(QString::fromStdString(type))) << type;
  }
}

TEST(DesktopEntry, InstallPutsBothProgramsTheGisModuleTheEntryTheLogTypesAndTheIcon) {
  QTemporaryDir prefix;
  QProcess install;
  install.start(QStringLiteral(MORPHEL_CMAKE),
                {QStringLiteral("--install"), QStringLiteral(MORPHEL_BUILD_DIR),
                 QStringLiteral("--prefix"), prefix.path()});
  ASSERT_TRUE(install.waitForFinished(kRunTimeoutMs));
  ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
  for (const char* program : {"bin/morphel", "bin/morphel-gui"})
    EXPECT_TRUE(QFileInfo(prefix.filePath(QString::fromLatin1(program))).isExecutable()) << program;
  // The GDAL module of the GIS exports where the programs look for it.
  QStringList modules = QDir(prefix.path()).entryList({QStringLiteral("lib*")}, QDir::Dirs);
  EXPECT_EQ(modules.size(), 1);
  if (!modules.isEmpty()) {
    EXPECT_TRUE(QFileInfo::exists(prefix.filePath(modules.front() + "/morphel/libmorphel_gis.so")));
  }
  for (const char* file :
       {"share/applications/morphel-gui.desktop", "share/mime/packages/morphel-logs.xml",
        "share/icons/hicolor/scalable/apps/morphel.svg"})
    EXPECT_TRUE(QFileInfo::exists(prefix.filePath(QString::fromLatin1(file)))) << file;
  const std::string entry =
      prefix.filePath(QStringLiteral("share/applications/morphel-gui.desktop")).toStdString();
  EXPECT_EQ(DesktopValue(entry, "Icon"), "morphel");
  EXPECT_EQ(DesktopValue(entry, "TryExec"), "morphel-gui");
}

}  // namespace
}  // namespace morphel::ui::test
