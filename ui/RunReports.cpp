#include "ui/RunReports.h"

#include <QFileInfo>
#include <QStringList>

#include "products/LogPass.h"

namespace morphel::ui {

namespace {

QString Count(uint64_t n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

QString NameOf(const std::string& path) {
  return QFileInfo(QString::fromStdString(path)).fileName();
}

// " Damaged log: ..." after a status line, or nothing.
QString DamageSuffix(const DamageCounts& damage) {
  const QString text = DamageText(damage);
  return text.isEmpty() ? QString() : QStringLiteral(" Damaged log: %1.").arg(text);
}

QString Sentence(const std::string& text) {
  QString s = QString::fromStdString(text);
  if (!s.isEmpty()) s[0] = s[0].toUpper();
  if (!s.isEmpty() && !s.endsWith(QLatin1Char('.'))) s += QLatin1Char('.');
  return s;
}

}  // namespace

QString DamageText(const DamageCounts& d) {
  QStringList parts;
  if (d.resyncBytes)
    parts << Count(d.resyncBytes, "byte", "bytes") +
                 QStringLiteral(" skipped while resynchronising between records");
  if (d.badLengthBlocks)
    parts << Count(d.badLengthBlocks, "block", "blocks") + " with a bad length";
  if (d.unknownRecords)
    parts << Count(d.unknownRecords, "record", "records") + " of an unknown kind";
  if (d.truncatedBlocks)
    parts << Count(d.truncatedBlocks, "block", "blocks") + " cut short by the end of the file";
  return parts.join(QStringLiteral(", "));
}

QString IndexingStatus(const std::string& log) {
  return QStringLiteral("Indexing %1...").arg(NameOf(log));
}

QString ConvertingStatus(const std::string& log, const std::string& output) {
  return QStringLiteral("Converting %1 to %2...").arg(NameOf(log), NameOf(output));
}

QString GatheringStatus(const std::string& log) {
  return QStringLiteral("Gathering average information from %1...").arg(NameOf(log));
}

QString IndexStatus(const IndexEnd& end) {
  switch (end.outcome) {
    case IndexOutcome::InputFailed:
      return QStringLiteral("Indexing failed: %1").arg(QString::fromStdString(end.message));
    case IndexOutcome::Stopped:
      return QStringLiteral("Indexing of %1 stopped.").arg(NameOf(end.log));
    case IndexOutcome::Completed:
      break;
  }
  return QStringLiteral("%1 indexed: %2.")
             .arg(NameOf(end.log),
                  Count(static_cast<uint64_t>(end.segments), "segment", "segments")) +
         DamageSuffix(end.damage);
}

QString IndexWarning(const IndexEnd& end) {
  const QString damage = DamageText(end.damage);
  if (end.outcome != IndexOutcome::Completed || damage.isEmpty()) return {};
  return QStringLiteral("Damage found while indexing %1: %2.").arg(NameOf(end.log), damage);
}

QString ConversionStatus(const ConversionEnd& end) {
  const QString message = QString::fromStdString(end.message);
  switch (end.outcome) {
    case RunOutcome::Refused:
      return QStringLiteral("Nothing converted: %1").arg(message);
    case RunOutcome::InputFailed:
    case RunOutcome::OutputFailed:
    case RunOutcome::SplitFailed:
      return QStringLiteral("Conversion failed: %1").arg(message);
    case RunOutcome::Completed:
      break;
  }
  const ConversionSummary& s = end.summary;
  const QString written = QStringLiteral("%1 written to %2.")
                              .arg(Count(static_cast<uint64_t>(s.dataRecords), "record", "records"),
                                   NameOf(end.output));
  QString status;
  if (s.stopped)
    status = QStringLiteral("Conversion cancelled at %1%: %2").arg(s.percent).arg(written);
  else if (s.dataRecords == 0 && s.inputSize > 0)
    status =
        QStringLiteral("Converted, but no data record was written to %1.").arg(NameOf(end.output));
  else
    status = QStringLiteral("Converted: %1").arg(written);
  return status + DamageSuffix(end.damage);
}

QString ConversionWarning(const ConversionEnd& end) {
  if (end.outcome != RunOutcome::Completed) return {};
  QStringList parts;
  // A cancelled run says so in the status bar; its short output is expected.
  if (!end.summary.stopped && !end.emptyReason.empty()) parts << Sentence(end.emptyReason);
  const QString damage = DamageText(end.damage);
  if (!damage.isEmpty())
    parts << QStringLiteral(
                 "Damage found while converting: %1. The output holds what could be "
                 "read.")
                 .arg(damage);
  return parts.join(QStringLiteral("\n\n"));
}

QString GatherStatus(GatherOutcome outcome, const std::string& log) {
  switch (outcome) {
    case GatherOutcome::InputFailed:
      return QStringLiteral("Gathering failed: %1").arg(QString::fromLatin1(kInputMissing));
    case GatherOutcome::Stopped:
      return QStringLiteral("Gathering stopped.");
    case GatherOutcome::Completed:
      break;
  }
  return QStringLiteral("Average information gathered from %1.").arg(NameOf(log));
}

}  // namespace morphel::ui
