#pragma once
// The user manual shown in the help window.

#include <QString>
#include <QStringList>

namespace morphel::ui {

// The manual as rich text, one <h2> per section.
QString HelpManualHtml();
// The section headings in the order they appear.
QStringList HelpSectionHeadings();

}  // namespace morphel::ui
