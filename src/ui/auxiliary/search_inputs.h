#pragma once

class QFileSystemModel;
class QLineEdit;
class QTreeView;
class QWidget;

// What the search panel and the batch builder set up alike on their inputs:
// a folder tree showing only folder names, and boxes that take only digits
// (the size) or digits and "/" (the dates); a validator filters pasted text too.
namespace SearchInputs {

QFileSystemModel* showFoldersOnly(QTreeView& tree, QWidget& owner);
void acceptDigits(QLineEdit& size, QLineEdit& beginDate, QLineEdit& endDate, QWidget& owner);

} // namespace SearchInputs
