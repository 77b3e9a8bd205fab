#include "batch/syntax_texts.h"
#include "shell_words.h"
#include "ui/batch/command_syntax_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>

#include <gtest/gtest.h>

namespace {

// The text of a PDF as pdftotext reads it, without any white space, so that a
// line the page wrapped still reads as one.
QString pdfLetters(const QString& pdf) {
    QProcess reader;
    reader.start("pdftotext", {pdf, "-"});
    EXPECT_TRUE(reader.waitForFinished(30000)) << "pdftotext (poppler-utils) is needed";
    EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    return QString::fromUtf8(reader.readAllStandardOutput()).remove(QRegularExpression("\\s"));
}

QString letters(QString text) {
    return text.remove(QRegularExpression("\\s"));
}

// The window, shown offscreen; its printer is a PDF file, or none when the
// user cancels the print dialog.
class SyntaxWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        window =
            std::make_unique<CommandSyntaxWindow>(nullptr, [this](QPrinter& printer, QWidget*) {
                ++dialogs;
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(pdf);
                return !cancel;
            });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    QLabel* description() { return window->findChild<QLabel*>("lblDescription"); }
    QPushButton* button(const char* name) { return window->findChild<QPushButton*>(name); }

    QTemporaryDir dir;
    QString pdf = dir.filePath("printed.pdf");
    bool cancel = false;
    int dialogs = 0;
    std::unique_ptr<CommandSyntaxWindow> window;
};

// The command lines a text shows as examples: its lines that start with
// "quarvo " or "Example: ", less that start.
QStringList exampleArguments(const QStringList& lines) {
    QStringList examples;
    for (const QString& line : lines) {
        for (const QString start : {"quarvo ", "Example: "})
            if (line.startsWith(start)) examples.append(line.mid(start.size()));
    }
    return examples;
}

// The help pages' example command lines: the lines of their <pre> blocks,
// leaving out the forms with placeholders in italics.
QStringList helpPageExamples() {
    QStringList lines;
    const QDir pages(":/docs");
    for (const QString& name : pages.entryList({"*.html"})) {
        QFile page(pages.filePath(name));
        EXPECT_TRUE(page.open(QIODevice::ReadOnly)) << name.toStdString();
        const QString html = QString::fromUtf8(page.readAll());
        static const QRegularExpression block("<pre>(.*?)</pre>",
                                              QRegularExpression::DotMatchesEverythingOption);
        for (const QRegularExpressionMatch& pre : block.globalMatch(html)) {
            for (const QString& line : pre.captured(1).split('\n'))
                if (!line.contains("<i>"))
                    lines.append(QTextDocumentFragment::fromHtml(line).toPlainText());
        }
    }
    return exampleArguments(lines);
}

} // namespace

TEST_F(SyntaxWindow, OpensEmptyWithItsTopicsAndHoveringEachShowsItsDescription) {
    EXPECT_EQ(window->windowTitle(), "Syntax");
    EXPECT_EQ(description()->text(), "");
    EXPECT_TRUE(button("btnClose")->isDefault());
    const QGroupBox* functions = window->findChild<QGroupBox*>("Frame1");
    ASSERT_NE(functions, nullptr);
    EXPECT_EQ(functions->title(), "Functions");
    for (int topic = 0; topic < SyntaxTexts::kTopicCount; ++topic) {
        QLabel* label = window->findChild<QLabel*>(QString("lblSyntax_%1").arg(topic));
        ASSERT_NE(label, nullptr) << topic;
        EXPECT_EQ(label->text(), SyntaxTexts::caption(topic));
        EXPECT_EQ(functions->isAncestorOf(label), topic >= 2 && topic <= 7) << topic;
        QTest::mouseMove(label);
        EXPECT_EQ(description()->text(), SyntaxTexts::description(topic)) << topic;
    }
    QTest::mouseMove(button("btnPrint"));
    EXPECT_EQ(description()->text(), SyntaxTexts::description(8))
        << "leaving a label keeps its text";
    QTest::mouseClick(button("btnClose"), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

// Without a mouse: Tab reaches the topics, the arrow keys go from one to the
// next, and the topic with the focus shows its description.
TEST_F(SyntaxWindow, TabAndTheArrowKeysGoThroughTheTopicsShowingEachDescription) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const auto focused = [] { return QApplication::focusWidget()->objectName().toStdString(); };
    const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
    EXPECT_EQ(focused(), "btnClose");
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), "lblSyntax_0");
    EXPECT_EQ(description()->text(), SyntaxTexts::description(0));
    for (int topic = 1; topic < SyntaxTexts::kTopicCount; ++topic) {
        press(Qt::Key_Down);
        EXPECT_EQ(focused(), QString("lblSyntax_%1").arg(topic).toStdString());
        EXPECT_EQ(description()->text(), SyntaxTexts::description(topic)) << topic;
    }
    press(Qt::Key_Down);
    EXPECT_EQ(focused(), "lblSyntax_8") << "the last topic stays";
    press(Qt::Key_Up);
    EXPECT_EQ(focused(), "lblSyntax_7");
    EXPECT_EQ(description()->text(), SyntaxTexts::description(7));
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), "lblSyntax_8");
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), "btnPrint");
    EXPECT_EQ(description()->text(), SyntaxTexts::description(8))
        << "leaving a topic keeps its text";
}

TEST_F(SyntaxWindow, PrintAllPrintsEveryTopicInOrderWithItsSeparator) {
    QTest::mouseMove(window->findChild<QLabel*>("lblSyntax_3"));
    QTest::mouseClick(button("btnPrintAll"), Qt::LeftButton);
    EXPECT_EQ(description()->text(), SyntaxTexts::description(8));
    const QString printed = pdfLetters(pdf);
    qsizetype from = 0;
    for (int topic = 0; topic < SyntaxTexts::kTopicCount; ++topic) {
        const qsizetype at =
            printed.indexOf(letters(SyntaxTexts::description(topic)) + "***************", from);
        ASSERT_GE(at, from) << "topic " << topic
                            << " missing or out of order in: " << printed.toStdString();
        from = at + 1;
    }
    EXPECT_EQ(printed.count("***************"), SyntaxTexts::kTopicCount);
}

TEST_F(SyntaxWindow, PrintPrintsTheShownTopicAndACancelledDialogNothing) {
    QTest::mouseMove(window->findChild<QLabel*>("lblSyntax_2"));
    cancel = true;
    QTest::mouseClick(button("btnPrint"), Qt::LeftButton);
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    cancel = false;
    QTest::mouseClick(button("btnPrint"), Qt::LeftButton);
    EXPECT_EQ(pdfLetters(pdf), letters(SyntaxTexts::description(2)));
}

// Pasted into a shell, every example of the syntax texts (the window, --help,
// the manual page) and of the help pages hands each switch to the program as
// it reads: the shell's words, joined as the program joins them, are the
// example without its quotes, backslashes of volume paths and containers kept.
TEST(Examples, EveryExampleOfTheSyntaxTextsAndTheHelpPagesWorksPastedIntoAShell) {
    QStringList syntaxLines;
    for (int topic = 0; topic < SyntaxTexts::kTopicCount; ++topic)
        syntaxLines += SyntaxTexts::helpLines(topic);
    const QStringList fromSyntax = exampleArguments(syntaxLines);
    const QStringList fromHelp = helpPageExamples();
    EXPECT_EQ(fromSyntax.size(), 7);
    EXPECT_GE(fromHelp.size(), 20);
    for (const QString& example : fromSyntax + fromHelp) {
        EXPECT_EQ(throughTheShell(example), QString(example).remove('\'').simplified())
            << example.toStdString();
        EXPECT_FALSE(example.contains(":\\")) << "a Windows path: " << example.toStdString();
    }
    EXPECT_TRUE(shellWords(fromSyntax[2]).contains("/V=\\\\MyServer\\SYS,\\\\MyServer\\vol1"));
}
