#include "archive/archive_thread.h"

namespace archive {

ArchiveThread::ArchiveThread(QString path, QObject *parent)
    : QObject(parent), path_(std::move(path)), worker_(new QObject)
{
    thread_.setObjectName(QStringLiteral("archive"));
    worker_->moveToThread(&thread_);
    thread_.start();
}

ArchiveThread::~ArchiveThread()
{
    closing_ = true;
    // Queued behind the jobs, which now return at once: the store's
    // connection belongs to its thread and is closed there.
    QMetaObject::invokeMethod(worker_, [this] {
        store_.reset();
        thread_.quit();
    }, Qt::QueuedConnection);
    thread_.wait();
    delete worker_;
}

void ArchiveThread::post(std::function<void(ArchiveStore *, const QString &)> task, bool mustFinish)
{
    QMetaObject::invokeMethod(worker_, [this, task = std::move(task), mustFinish] {
        if (closing_ && !mustFinish)
            return;
        QString error;
        if (!store_) {
            QString note;
            store_ = ArchiveStore::open(path_, &error, &note);
            if (!note.isEmpty())
                QMetaObject::invokeMethod(this, [this, note] { emit noted(note); }, Qt::QueuedConnection);
            if (!store_ && !mustFinish) {
                QMetaObject::invokeMethod(this, [this, error] { emit openFailed(error); }, Qt::QueuedConnection);
                return;
            }
        }
        task(store_ ? &*store_ : nullptr, error);
    }, Qt::QueuedConnection);
}

} // namespace archive
