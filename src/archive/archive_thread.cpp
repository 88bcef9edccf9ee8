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

void ArchiveThread::post(std::function<void(ArchiveStore &)> task)
{
    QMetaObject::invokeMethod(worker_, [this, task = std::move(task)] {
        if (closing_)
            return;
        if (!store_) {
            QString error;
            QString note;
            store_ = ArchiveStore::open(path_, &error, &note);
            if (!note.isEmpty())
                QMetaObject::invokeMethod(this, [this, note] { emit noted(note); }, Qt::QueuedConnection);
            if (!store_) {
                QMetaObject::invokeMethod(this, [this, error] { emit openFailed(error); }, Qt::QueuedConnection);
                return;
            }
        }
        task(*store_);
    }, Qt::QueuedConnection);
}

} // namespace archive
