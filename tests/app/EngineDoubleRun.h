// The engine double (EngineDouble.cpp) registered as the terminal engine in the installed store,
// and what it received; scoped guards for the current folder and the variables the launch reads.
#pragma once

#include "CRegKey.h"
#include "EngineClient.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest/QTest>

class EngineDoubleRun {
public:
    explicit EngineDoubleRun(const QStringList& options = {}) {
        const QStringList words = QStringList{ZEB_ENGINE_DOUBLE, "--log", logPath()} + options;
        Register(u'"' + words.join(QStringLiteral("\" \"")) + u'"');
    }

    // Replaces the registered command line.
    static void Register(const QString& sCommandLine) {
        zeb::reg::CRegKey key;
        QCOMPARE(key.Create(zeb::reg::HKEY_LOCAL_MACHINE, zeb::ENGINE_SERVER_KEY), 0);
        QCOMPARE(key.SetValue(sCommandLine.toStdString(), ""), 0);
        key.CloseKey();
    }

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

    // The double's start line: its argv, sid, cwd and pipeCopies.
    QJsonObject startEvent() const {
        return QJsonDocument::fromJson(rawLog().split('\n').value(0)).object();
    }

    bool waitForEof() const {
        return QTest::qWaitFor([this] { return rawLog().contains("\"eof\""); }, 5000);
    }

private:
    QString logPath() const { return dir_.filePath(QStringLiteral("calls.log")); }
    QTemporaryDir dir_;
};

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
