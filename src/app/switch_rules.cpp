#include "app/switch_rules.h"

#include <QStringList>

#include <algorithm>
#include <vector>

namespace {

// Every switch, in the order the help lists them.
const QStringList& knownSwitches() {
    static const QStringList names = {
        QStringLiteral("/T="),         QStringLiteral("/F="),         QStringLiteral("/S="),
        QStringLiteral("/V="),         QStringLiteral("/C="),         QStringLiteral("/OWNER="),
        QStringLiteral("/D="),         QStringLiteral("/IMMSUBS"),    QStringLiteral("/ALLSUBS"),
        QStringLiteral("/PATTERN="),   QStringLiteral("/SIZE"),       QStringLiteral("/OPT="),
        QStringLiteral("/OLDERTHAN="), QStringLiteral("/NEWERTHAN="), QStringLiteral("/BETWEEN="),
        QStringLiteral("/OUTFILE="),   QStringLiteral("/APPEND"),     QStringLiteral("/HEADINGS"),
        QStringLiteral("/NOHISTORY"),  QStringLiteral("/COMPARE="),   QStringLiteral("/EXPORT="),
        QStringLiteral("/IMPORT="),    QStringLiteral("/ALLOCATED")};
    return names;
}

// The switches every function takes.
const QStringList& commonSwitches() {
    static const QStringList names = {QStringLiteral("/T="),        QStringLiteral("/F="),
                                      QStringLiteral("/OUTFILE="),  QStringLiteral("/APPEND"),
                                      QStringLiteral("/HEADINGS"),  QStringLiteral("/NOHISTORY"),
                                      QStringLiteral("/COMPARE=")};
    return names;
}

// The switches of each function besides the common ones.
QStringList functionSwitches(ReportKind kind) {
    switch (kind) {
    case ReportKind::Owner:
        return {QStringLiteral("/S="), QStringLiteral("/V="), QStringLiteral("/C="),
                QStringLiteral("/OWNER="), QStringLiteral("/IMPORT="), QStringLiteral("/ALLOCATED")};
    case ReportKind::Volume:
        return {QStringLiteral("/V=")};
    case ReportKind::Directory:
        return {QStringLiteral("/D="), QStringLiteral("/IMMSUBS"), QStringLiteral("/ALLSUBS"),
                QStringLiteral("/EXPORT="), QStringLiteral("/IMPORT="), QStringLiteral("/ALLOCATED")};
    case ReportKind::File:
        return {QStringLiteral("/D="), QStringLiteral("/PATTERN="), QStringLiteral("/SIZE"),
                QStringLiteral("/IMPORT="), QStringLiteral("/ALLOCATED")};
    case ReportKind::Date:
        return {QStringLiteral("/D="), QStringLiteral("/OPT="), QStringLiteral("/OLDERTHAN="),
                QStringLiteral("/NEWERTHAN="), QStringLiteral("/BETWEEN="), QStringLiteral("/IMPORT=")};
    }
    return {};
}

QString functionName(ReportKind kind) {
    static const QStringList names = {QStringLiteral("OWNER"), QStringLiteral("VOLUME"),
                                      QStringLiteral("DIRECTORY"), QStringLiteral("FILE"),
                                      QStringLiteral("DATE")};
    return names.value(int(kind) - 1);
}

int editDistance(const QString& a, const QString& b) {
    std::vector<int> row(std::size_t(b.size()) + 1);
    for (std::size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[std::size_t(j)];
            row[std::size_t(j)] = std::min({above + 1, row[std::size_t(j - 1)] + 1,
                                            diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.back();
}

// "/SIZE GT 100" is the usual form, but "/SIZEGT100" always worked too.
bool isGluedSize(const QString& word) {
    const QString rest = word.mid(5);
    return word.startsWith(QLatin1String("/SIZE")) &&
           (rest.startsWith(QLatin1String("GT")) || rest.startsWith(QLatin1String("LT")) ||
            rest.startsWith(QLatin1String("EQ")));
}

void refuseConflict(const CommandLine& line, const QStringList& exclusive) {
    QStringList present;
    for (const QString& name : exclusive) {
        if (line.has(name)) present.append(name);
    }
    if (present.size() > 1)
        throw CommandLineError(QStringLiteral("%1 cannot be used together: choose one.")
                                   .arg(present.join(QStringLiteral(" and "))));
}

void refuseForeign(const CommandLine& line, ReportKind kind) {
    const QStringList own = functionSwitches(kind);
    for (const CommandLine::Word& word : line.switchWords()) {
        const QString name = SwitchRules::switchOf(word.upper);
        if (!commonSwitches().contains(name) && !own.contains(name))
            throw CommandLineError(
                QStringLiteral("%1 does not belong to /F=%2, which takes %3.")
                    .arg(name, functionName(kind), own.join(QStringLiteral(", "))));
    }
}

void refuseOrphans(const CommandLine& line, ReportKind kind) {
    const std::optional<QString> outfile = line.value(QStringLiteral("/OUTFILE="));
    if (line.has(QStringLiteral("/APPEND")) &&
        (!outfile || outfile->trimmed().isEmpty() || outfile->trimmed() == QLatin1String("-")))
        throw CommandLineError(QStringLiteral("/APPEND needs /OUTFILE= with a file to append to."));
    // Without /OPT= the date switches would be skipped and the run would use
    // the panel's defaults instead: a different question.
    if (kind != ReportKind::Date || line.has(QStringLiteral("/OPT="))) return;
    for (const QString& name : {QStringLiteral("/OLDERTHAN="), QStringLiteral("/NEWERTHAN="),
                                QStringLiteral("/BETWEEN=")}) {
        if (line.has(name))
            throw CommandLineError(
                QStringLiteral("%1 needs /OPT=CREATE, MODIFY or ACCESS.").arg(name));
    }
}

// A path cut in two by " /" shows up as an unknown switch that looks like a path.
QString pathHint(const QString& name) {
    if (name.indexOf(QLatin1Char('/'), 1) < 0 && !name.contains(QLatin1Char('\\'))) return {};
    return QStringLiteral(
        " (a value ends where a blank is followed by /, so a path cannot hold \" /\")");
}

} // namespace

QString SwitchRules::switchOf(const QString& upperWord) {
    const qsizetype equals = upperWord.indexOf(QLatin1Char('='));
    if (equals >= 0) return upperWord.left(equals + 1);
    return isGluedSize(upperWord) ? QStringLiteral("/SIZE") : upperWord;
}

bool SwitchRules::isKnown(const QString& switchText) {
    return knownSwitches().contains(switchText);
}

QString SwitchRules::nearest(const QString& switchText) {
    QString best;
    int bestDistance = 0;
    for (const QString& known : knownSwitches()) {
        const int distance = editDistance(switchText, known);
        if (best.isEmpty() || distance < bestDistance) {
            best = known;
            bestDistance = distance;
        }
    }
    return best;
}

void SwitchRules::checkWords(const CommandLine& line) {
    const QString leading = line.leadingText();
    if (!leading.isEmpty())
        throw CommandLineError(QStringLiteral("\"%1\" is not a switch: switches start with / "
                                              "(quarvo --help lists them).")
                                   .arg(leading));
    QStringList seen;
    for (const CommandLine::Word& word : line.switchWords()) {
        const QString name = switchOf(word.upper);
        if (!isKnown(name))
            throw CommandLineError(
                QStringLiteral("Unknown switch %1; did you mean %2?%3")
                    .arg(word.typed.left(name.size()), nearest(name), pathHint(name)));
        if (seen.contains(name))
            throw CommandLineError(QStringLiteral("%1 is given more than once.").arg(name));
        seen.append(name);
    }
}

void SwitchRules::checkForFunction(const CommandLine& line, ReportKind kind) {
    refuseForeign(line, kind);
    refuseConflict(line, {QStringLiteral("/PATTERN="), QStringLiteral("/SIZE")});
    refuseConflict(line, {QStringLiteral("/IMMSUBS"), QStringLiteral("/ALLSUBS")});
    refuseConflict(line, {QStringLiteral("/EXPORT="), QStringLiteral("/IMPORT=")});
    refuseConflict(line, {QStringLiteral("/OLDERTHAN="), QStringLiteral("/NEWERTHAN="),
                          QStringLiteral("/BETWEEN=")});
    refuseOrphans(line, kind);
}
