#include "ui/auxiliary/search_inputs.h"

#include <QFileSystemModel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QTreeView>

namespace SearchInputs {

QFileSystemModel* showFoldersOnly(QTreeView& tree, QWidget& owner) {
    auto* folders = new QFileSystemModel(&owner);
    folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    folders->setReadOnly(true);
    tree.setModel(folders);
    for (int col = 1; col < folders->columnCount(); ++col)
        tree.hideColumn(col);
    return folders;
}

void acceptDigits(QLineEdit& size, QLineEdit& beginDate, QLineEdit& endDate, QWidget& owner) {
    // Megabytes with decimals, as /SIZE takes them; a decimal comma is taken as the point.
    size.setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*([.,][0-9]*)?")), &owner));
    QObject::connect(&size, &QLineEdit::textEdited, &size, [box = &size](const QString& text) {
        if (text.contains(QLatin1Char(',')))
            box->setText(QString(text).replace(QLatin1Char(','), QLatin1Char('.')));
    });
    for (QLineEdit* box : {&beginDate, &endDate})
        box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9/]*")), &owner));
}

} // namespace SearchInputs
