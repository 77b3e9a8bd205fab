#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QPrinter;
namespace Ui {
class frmCommandSyntax;
}

// frmCommandSyntax: the command-line switches, one topic per label; hovering
// a label, or giving it the focus (Tab, the arrow keys), shows its
// description, which can be printed alone or with all.
class CommandSyntaxWindow : public QDialog {
    Q_OBJECT
  public:
    // Sets up the printer as the user chooses; false: cancelled or failed.
    using ChoosePrinter = std::function<bool(QPrinter&, QWidget* parent)>;

    explicit CommandSyntaxWindow(QWidget* parent = nullptr, ChoosePrinter choosePrinter = {});
    ~CommandSyntaxWindow() override;

    // Opens the window modally over parent and returns when it closes: the
    // batch builder's "&Syntax" and "/?" at startup.
    static void showSyntax(QWidget* parent);

    // Prints text as one block from the top of the first page, in a
    // fixed-pitch font so the indented switch lines stay aligned; lines too
    // wide for the page wrap, and pages break as needed.
    static void printText(QPrinter& printer, const QString& text);

    QLabel* topicLabel(int topic) const;

  public Q_SLOTS:
    void subShowDescription(int lngSyntaxIndex);
    void btnPrint_Click();
    void btnPrintAll_Click();
    void btnClose_Click();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Moves the focus to the topic before or after for an arrow key; false for any other key.
    bool focusNeighbour(int topic, int key);
    void print(const QString& text);

    std::unique_ptr<Ui::frmCommandSyntax> m_ui;
    ChoosePrinter m_choosePrinter;
    QList<QLabel*> m_labels;
};
