#include "session/meter_session.h"

namespace session {

MeterSession::MeterSession(Pacing pacing, QObject *parent)
    : QObject(parent), ownLine_(std::make_unique<MeterLine>()), line_(ownLine_.get()),
      meter_(line_->link, line_->transactions.transactions()),
      requests_([this](const MeterRequest &r, const RequestResult &result) { finished(r, result); }),
      poll_(meter_, requests_, pacing == Pacing::Timed)
{
    connect(&line_->transactions, &links::TransactionLink::statusText, this, [this](const QString &text) {
        lastStatus_ = text;
        emit statusText(text);
    });
}

MeterSession::MeterSession(MeterLine &line, int unit, Pacing pacing, QObject *parent)
    : QObject(parent), line_(&line), meter_(line.link, line.transactions.transactions(), unit),
      requests_([this](const MeterRequest &r, const RequestResult &result) { finished(r, result); }),
      poll_(meter_, requests_, pacing == Pacing::Timed)
{
    connect(&line_->transactions, &links::TransactionLink::statusText, this, [this](const QString &text) {
        lastStatus_ = text;
        emit statusText(text);
    });
}

MeterSession::~MeterSession()
{
    poll_.pause();
    if (ownLine_)
        ownLine_->link.closeAndGoOffline();
}

void MeterSession::request(MeterRequest request) { requests_.add(std::move(request)); }

void MeterSession::finished(const MeterRequest &request, const RequestResult &result)
{
    // The meter answers at its new address, rate or stop bits only once it
    // has taken the write.
    if (result.outcome == RequestResult::Outcome::Done)
        follow(request.follow);
    emit requestFinished(request, result);
}

void MeterSession::follow(const ConnectionChange &change)
{
    links::LinkState &link = line_->link;
    switch (change.kind) {
    case ConnectionChange::Kind::None:
        return;
    case ConnectionChange::Kind::Unit:
        // A line of its own talks at the link's address; a shared line at each
        // meter's own.
        if (ownLine_)
            link.SlaveAddress = change.value;
        else
            meter_.setUnit(change.value);
        break;
    case ConnectionChange::Kind::Baud:
    case ConnectionChange::Kind::StopBits: {
        // "baud,n,8,stop": the one field changes.
        QStringList fields = link.serial.settings().split(QLatin1Char(','));
        if (fields.size() != 4)
            return;
        fields[change.kind == ConnectionChange::Kind::Baud ? 0 : 3] = QString::number(change.value);
        link.serial.setSettings(fields.join(QLatin1Char(',')));
        break;
    }
    }
    emit connectionFollowed(change);
}

QString MeterSession::noAnswer() const
{
    return QStringLiteral("no answer from the meter at %1%2")
        .arg(address_.describe(), lastStatus_.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(lastStatus_));
}

bool MeterSession::open(const links::MeterAddress &address, QString *error)
{
    address_ = address;
    return line_->open(address, error);
}

bool MeterSession::pollOnce(QString *error)
{
    if (!link().LinkOnline()) {
        *error = noAnswer();
        return false;
    }
    poll_.Timer1Sec_Timer();
    // A read the meter refuses leaves its values out, not the poll: the
    // meter answered.
    if (link().LinkOnline() && poll_.lastTransOK() && (!poll_.firmwareReadPending() || poll_.firmwareRefused()))
        return true;
    *error = noAnswer();
    return false;
}

} // namespace session
