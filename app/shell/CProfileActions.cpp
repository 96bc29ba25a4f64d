#include "shell/CProfileActions.h"

#include "kit/CShellPrompts.h"
#include "kit/IMainWindowServices.h"
#include "reader/CReaderWorker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString exportFilter = QStringLiteral("Device files(*.ini)");
const QString importFilter = QStringLiteral("Device files (*.ini)");
const QString extension = QStringLiteral(".ini");

record::RecordAccess accessTo(IReader &reader)
{
    return { [&reader](RecordKind kind, int length) { return reader.readRecord(kind, length); },
        [&reader](RecordKind kind, const ParamRecord &record) {
            return reader.writeRecord(kind, record);
        },
        [&reader](RecordKind kind) { return reader.defaultRecord(kind); } };
}

std::string localPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

CProfileActions::CProfileActions(IMainWindowServices &services, ShowRecord show, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_show(std::move(show))
{
}

bool CProfileActions::begin()
{
    if (!m_services.isConnected() || m_running)
        return false;
    m_running = true;
    emit runningChanged(true);
    return true;
}

void CProfileActions::end()
{
    m_running = false;
    emit runningChanged(false);
}

void CProfileActions::tell(const QString &body)
{
    m_services.prompts().inform(m_services.text(Text::MessageBoxCaption), body);
}

void CProfileActions::postLog(Text key)
{
    m_services.postLog(m_services.text(key));
}

// ---- Export ------------------------------------------------------------------------------

void CProfileActions::exportProfile()
{
    if (!begin())
        return;
    const std::uint8_t deviceType = m_services.deviceType();
    m_services.worker().submit(
        this, [this, deviceType](IReader &reader) { return readRecords(reader, deviceType); },
        [this](const std::optional<deviceprofile::Records> &records) {
            if (records)
                saveProfile(*records);
            end();
        });
}

std::optional<deviceprofile::Records> CProfileActions::readRecords(
    IReader &reader, std::uint8_t deviceType)
{
    std::optional<deviceprofile::Records> records
        = deviceprofile::readRecords(accessTo(reader), deviceType);
    if (!records)
        postLog(Text::OperationFailed);
    return records;
}

void CProfileActions::saveProfile(const deviceprofile::Records &records)
{
    const QDateTime created = m_clock();
    const std::time_t createdSeconds = created.toSecsSinceEpoch();
    const QString chosen
        = m_services.prompts().chooseFileToSave(m_services.text(Text::FileChooserTitle),
            QDir::current().filePath(
                QString::fromStdString(deviceprofile::proposedName(createdSeconds))),
            exportFilter);
    if (chosen.isEmpty())
        return;
    // Appended whatever the chosen name already ends in.
    const QString path = chosen + extension;
    // An existing file is never overwritten; the operator learns that nothing was saved
    // rather than believe the profile is there. A link is refused by the write, with its
    // own reason.
    const QFileInfo target(path);
    if (target.exists() && !target.isSymLink()) {
        tell(tr("%1 already exists. The profile was not saved; export again and choose a new "
                "name.")
                 .arg(QDir::toNativeSeparators(path)));
        return;
    }
    const std::string reason = deviceprofile::write(
        localPath(path), records, deviceprofile::createTimeText(createdSeconds));
    if (!reason.empty())
        tell(tr("The profile could not be written to %1.\n%2")
                 .arg(QDir::toNativeSeparators(path), QString::fromStdString(reason)));
}

// ---- Import ------------------------------------------------------------------------------

void CProfileActions::importProfile()
{
    if (!begin())
        return;
    const QString path = m_services.prompts().chooseFileToOpen(QDir::currentPath(), importFilter);
    if (path.isEmpty()) {
        end();
        return;
    }
    const deviceprofile::Loaded loaded = deviceprofile::load(localPath(path));
    // A file that cannot be read has no DevType either.
    const deviceprofile::Refusal refusal
        = loaded.error.empty() ? loaded.decoded.refusal : deviceprofile::Refusal::DeviceType;
    switch (refusal) {
    case deviceprofile::Refusal::DeviceType:
        tell(m_services.text(Text::ProfileDeviceTypeInvalid));
        end();
        return;
    case deviceprofile::Refusal::RecordText:
        tell(QString::fromStdString(deviceprofile::refusalReason(
            QDir::toNativeSeparators(path).toStdString(), loaded.decoded)));
        end();
        return;
    case deviceprofile::Refusal::None:
        break;
    }
    const std::uint8_t deviceType = m_services.deviceType();
    m_services.worker().submit(
        this,
        [this, records = loaded.decoded.records, deviceType](
            IReader &reader) { return writeRecords(reader, records, deviceType); },
        [this](const std::optional<deviceprofile::Written> &written) {
            if (written) {
                for (const deviceprofile::Written::Entry &entry : written->entries) {
                    if (entry.taken)
                        m_show(entry.record, entry.sent);
                }
            }
            end();
        });
}

std::optional<deviceprofile::Written> CProfileActions::writeRecords(
    IReader &reader, const deviceprofile::Records &profile, std::uint8_t deviceType)
{
    const std::optional<deviceprofile::Written> written
        = deviceprofile::writeRecords(accessTo(reader), profile, deviceType);
    postLog(written && written->complete() ? Text::OperationSucceeded : Text::OperationFailed);
    return written;
}
