// Test support for the engine launch: registers the engine double (EngineDouble.cpp) as the
// terminal engine in the store that is installed now, and reads back what the double received.
// Also scoped guards for the current directory and environment variables, which the launch reads.
#pragma once

#include "CRegKey.h"
#include "EngineClient.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest/QTest>

class EngineDoubleRun {
public:
    // Registers "<double> --log <log> options..." as the engine's command line.
    explicit EngineDoubleRun(const QStringList& options = {}) {
        const QStringList words =
            QStringList{QStringLiteral(ZEB_ENGINE_DOUBLE), QStringLiteral("--log"), logPath()} +
            options;
        Register(QLatin1Char('"') + words.join(QStringLiteral("\" \"")) + QLatin1Char('"'));
    }

    // Replaces the registered command line.
    static void Register(const QString& sCommandLine) {
        zeb::reg::CRegKey key;
        QCOMPARE(key.Create(zeb::reg::HKEY_LOCAL_MACHINE, zeb::ENGINE_SERVER_KEY), 0);
        QCOMPARE(key.SetValue(sCommandLine.toStdString(), ""), 0);
        key.CloseKey();
    }

    QString logPath() const { return dir_.filePath(QStringLiteral("calls.log")); }
    bool started() const { return QFile::exists(logPath()); }

    QByteArray rawLog() const {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The requests received, each as "Call[args]" in compact JSON, e.g. Start["-n"].
    QStringList calls() const {
        QStringList calls;
        for (const QByteArray& line : rawLog().split('\n')) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            if (entry.contains(QStringLiteral("call"))) {
                calls << entry.value(QStringLiteral("call")).toString() +
                             QJsonDocument(entry.value(QStringLiteral("args")).toArray())
                                 .toJson(QJsonDocument::Compact);
            }
        }
        return calls;
    }

    // The first line the double logged: its start, with argv, pid, sid, cwd and pipeCopies.
    QJsonObject startEvent() const {
        return QJsonDocument::fromJson(rawLog().split('\n').value(0)).object();
    }

    // Waits (bounded) until the double has seen its input end.
    bool waitForEof(int timeoutMs = 5000) const {
        return QTest::qWaitFor([this] { return rawLog().contains("\"eof\""); }, timeoutMs);
    }

private:
    QTemporaryDir dir_;
};

// Makes `path` the current directory for one scope.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const QString& path) { QDir::setCurrent(path); }
    ~CurrentDirectory() { QDir::setCurrent(previous_); }
    Q_DISABLE_COPY(CurrentDirectory)

private:
    QString previous_ = QDir::currentPath();
};

// Sets (or, with a null value, removes) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name) {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~ScopedEnv() { had_ ? qputenv(name_, previous_) : qunsetenv(name_); }
    Q_DISABLE_COPY(ScopedEnv)

private:
    const char* name_;
    bool had_ = qEnvironmentVariableIsSet(name_);
    QByteArray previous_ = qgetenv(name_);
};

// The engine's initialization found through neither the file nor the variables.
struct NoInitialization {
    ScopedEnv pelna{"PELNA", QByteArray()};
    ScopedEnv pelnaFile{"PELNAFILE", QByteArray()};
};
