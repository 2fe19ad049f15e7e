#include "ui/ui_services.h"

#include <QStringList>

namespace luckyscope {

QString ToQtFilter(const QString& filter) {
  if (filter.trimmed().isEmpty()) return {};
  const QStringList parts = filter.split(u'|');
  QStringList pairs;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    const QString description = parts.at(i).trimmed();
    QString patterns = i + 1 < parts.size() ? parts.at(i + 1) : QStringLiteral("*");
    patterns.replace(u';', u' ');
    patterns = patterns.simplified();
    if (description.isEmpty() && patterns.isEmpty()) continue;
    if (patterns.isEmpty()) patterns = QStringLiteral("*");
    // The description often carries its own "(*.dat)"; Qt takes the patterns from the
    // last parentheses, so the real ones always go last, unless the description already
    // ends with exactly them (then they would only show twice).
    const QString wrapped = QStringLiteral("(%1)").arg(patterns);
    if (description.isEmpty()) {
      pairs.append(wrapped);
    } else if (description.endsWith(wrapped)) {
      pairs.append(description);
    } else {
      pairs.append(QStringLiteral("%1 %2").arg(description, wrapped));
    }
  }
  return pairs.join(QStringLiteral(";;"));
}

std::optional<std::vector<std::string>> UiServices::OpenFilesDialog(const FileDialogPreset& preset) {
  std::optional<std::string> one = OpenFileDialog(preset);
  if (!one) return std::nullopt;
  return std::vector<std::string>{std::move(*one)};
}

}  // namespace luckyscope
