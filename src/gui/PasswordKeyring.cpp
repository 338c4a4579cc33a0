#include "gui/PasswordKeyring.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>

namespace varnel::gui {
namespace {

QString &service()
{
    static QString name = QStringLiteral("Varnel");
    return name;
}

// Runs a job to its end, the window's events handled meanwhile.
PasswordKeyring::Outcome finish(QKeychain::Job &job)
{
    // Never the library's plain-text fallback: a password that cannot go to
    // a keyring is the caller's to place, where the user was told it goes.
    job.setInsecureFallback(false);
    job.setAutoDelete(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    switch (job.error()) {
    case QKeychain::NoError:
        return PasswordKeyring::Outcome::Done;
    case QKeychain::EntryNotFound:
        return PasswordKeyring::Outcome::NotFound;
    default:
        return PasswordKeyring::Outcome::NoKeyring;
    }
}

} // namespace

QString PasswordKeyring::entryName(const QString &user, const QString &server)
{
    return user + QLatin1Char('@') + server;
}

void PasswordKeyring::setServiceName(const QString &name)
{
    service() = name;
}

QString PasswordKeyring::serviceName()
{
    return service();
}

PasswordKeyring::Lookup PasswordKeyring::read(const QString &user, const QString &server)
{
    QKeychain::ReadPasswordJob job(service());
    job.setKey(entryName(user, server));
    Lookup found;
    found.outcome = finish(job);
    if (found.outcome == Outcome::Done)
        found.password = job.textData();
    return found;
}

PasswordKeyring::Outcome PasswordKeyring::write(const QString &user, const QString &server, const QString &password)
{
    QKeychain::WritePasswordJob job(service());
    job.setKey(entryName(user, server));
    job.setTextData(password);
    return finish(job);
}

PasswordKeyring::Outcome PasswordKeyring::remove(const QString &user, const QString &server)
{
    QKeychain::DeletePasswordJob job(service());
    job.setKey(entryName(user, server));
    return finish(job);
}

} // namespace varnel::gui
