#pragma once

#include "archive/archive_store.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// An archive worked on in a thread of its own, so that a window never waits
// on the database: reads of a year of records and imports of large files
// run there, one job after the other, and their results come back as queued
// calls on the thread that created the ArchiveThread.
namespace archive {

class ArchiveThread : public QObject {
    Q_OBJECT
public:
    // The archive at path is opened by the first job (ArchiveStore::open).
    explicit ArchiveThread(QString path, QObject *parent = nullptr);
    // Lets the running job end, drops the waiting ones (but for those that
    // must finish: runToEnd) and closes the archive on its thread. No result
    // is delivered after this.
    ~ArchiveThread() override;

    QString path() const { return path_; }

    // Runs job with the open archive on the archive's thread, then done with
    // its result on this object's thread. When the archive cannot be opened
    // the job is not run: openFailed says why, and the next job tries again.
    template <class Result>
    void run(std::function<Result(ArchiveStore &)> job, std::function<void(Result)> done)
    {
        post([this, job = std::move(job), done = std::move(done)](ArchiveStore *store, const QString &) {
            auto result = std::make_shared<Result>(job(*store));
            QMetaObject::invokeMethod(this, [done, result] { done(std::move(*result)); }, Qt::QueuedConnection);
        }, false);
    }
    // A job that writes what must not be lost (the blocks of a download): it
    // runs even while the ArchiveThread is being destroyed, which waits for
    // it, and also when the archive cannot be opened: store is then nullptr
    // and openError says why (openFailed is not emitted for it).
    template <class Result>
    void runToEnd(std::function<Result(ArchiveStore *store, const QString &openError)> job,
                  std::function<void(Result)> done)
    {
        post([this, job = std::move(job), done = std::move(done)](ArchiveStore *store, const QString &openError) {
            auto result = std::make_shared<Result>(job(store, openError));
            if (!closing_)
                QMetaObject::invokeMethod(this, [done, result] { done(std::move(*result)); }, Qt::QueuedConnection);
        }, true);
    }

signals:
    // The archive could not be opened: the reason (a path and the cause).
    void openFailed(const QString &error);
    // Opening it moved a damaged file aside: the note names both paths.
    void noted(const QString &note);

private:
    // task gets the open store, or (only when mustFinish) nullptr and the
    // reason it could not be opened.
    void post(std::function<void(ArchiveStore *, const QString &)> task, bool mustFinish);

    QString path_;
    QThread thread_;
    QObject *worker_; // lives on thread_: jobs are queued calls to it
    std::optional<ArchiveStore> store_; // touched on thread_ only
    std::atomic<bool> closing_{false};
};

} // namespace archive
