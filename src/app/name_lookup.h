#pragma once

#include "reports/report_env.h"

#include <QString>
#include <QStringList>

// Finds the servers, volumes and containers a command line names, as the
// workstation knows them. A name that finds nothing ends the command line
// with a message listing what exists, so a typing mistake never runs a
// report on something else.
class NameLookup {
  public:
    explicit NameLookup(ReportEnv& env) : m_env(env) {}

    // The server's name as the site spells it. Throws CommandLineError.
    QString server(const QString& name) const;
    // The volume's name as the server mounts it. Throws CommandLineError.
    QString volume(const QString& server, const QString& name) const;
    // Refuses a starting container (a tree path) that the tree does not hold.
    void container(const QString& treePath) const;

    // "A, B, C" for a message, cut short after a screenful of names.
    static QString listed(const QStringList& names);

  private:
    QStringList containers() const;

    ReportEnv& m_env;
};
