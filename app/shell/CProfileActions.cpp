#include "shell/CProfileActions.h"

#include "kit/CIniFile.h"
#include "kit/CShellPrompts.h"
#include "kit/IMainWindowServices.h"
#include "reader/CReaderWorker.h"
#include "reader_family.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString exportFilter = QStringLiteral("Device files(*.ini)");
const QString importFilter = QStringLiteral("Device files (*.ini)");
const QString extension = QStringLiteral(".ini");

} // namespace

CProfileActions::CProfileActions(
    IMainWindowServices &services, IShellPrompts &prompts, ShowRecord show, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_prompts(&prompts)
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
    m_prompts->inform(m_services.text(Text::MessageBoxCaption), body);
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
    // Only Elm readers are asked for their special record; the others' stays zero.
    const bool readsSpecial
        = readerfamily::familyOf(m_services.deviceType()) == readerfamily::Family::Elm;
    m_services.worker().submit(
        this, [this, readsSpecial](IReader &reader) { return readRecords(reader, readsSpecial); },
        [this](const std::optional<deviceprofile::Records> &records) {
            if (records)
                saveProfile(*records);
            end();
        });
}

std::optional<deviceprofile::Records> CProfileActions::readRecords(
    IReader &reader, bool readsSpecial)
{
    deviceprofile::Records records;
    records.special.assign(deviceprofile::recordLength, 0);
    const std::pair<RecordKind, Bytes &> reads[] = {
        { RecordKind::Device, records.device },
        { RecordKind::Network, records.network },
        { RecordKind::Special, records.special },
    };
    for (const auto &[kind, bytes] : reads) {
        if (kind == RecordKind::Special && !readsSpecial)
            break;
        const std::optional<ParamRecord> read
            = reader.readRecord(kind, deviceprofile::recordLength);
        if (!read) {
            postLog(Text::OperationFailed);
            return std::nullopt;
        }
        // DevType is the leading byte of the last record read.
        records.lead = read->lead;
        bytes = read->bytes;
    }
    return records;
}

void CProfileActions::saveProfile(const deviceprofile::Records &records)
{
    const QDateTime created = m_clock();
    const QString chosen = m_prompts->chooseFileToSave(m_services.text(Text::FileChooserTitle),
        QDir::current().filePath(deviceprofile::proposedName(created)), exportFilter);
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
    const QString reason = deviceprofile::write(path, records, created);
    if (!reason.isEmpty())
        tell(tr("The profile could not be written to %1.\n%2")
                 .arg(QDir::toNativeSeparators(path), reason));
}

// ---- Import ------------------------------------------------------------------------------

void CProfileActions::importProfile()
{
    if (!begin())
        return;
    const QString path = m_prompts->chooseFileToOpen(QDir::currentPath(), importFilter);
    if (path.isEmpty()) {
        end();
        return;
    }
    const deviceprofile::Decoded decoded = deviceprofile::decode(CIniFile(path).load());
    switch (decoded.refusal) {
    case deviceprofile::Refusal::DeviceType:
        tell(m_services.text(Text::ProfileDeviceTypeInvalid));
        end();
        return;
    case deviceprofile::Refusal::RecordText:
        tell(tr("%1 is not a device profile: its %2 entry is missing, cut short or not "
                "hexadecimal. Nothing was written to the reader.")
                 .arg(QDir::toNativeSeparators(path), decoded.refusedKey));
        end();
        return;
    case deviceprofile::Refusal::None:
        break;
    }
    m_services.worker().submit(
        this,
        [this, records = decoded.records](
            IReader &reader) { return writeRecords(reader, records); },
        [this](const std::optional<Written> &written) {
            if (written) {
                if (written->deviceWritten)
                    m_show(RecordKind::Device, written->device);
                if (written->networkWritten)
                    m_show(RecordKind::Network, written->network);
                if (written->specialWritten)
                    m_show(RecordKind::Special, written->special);
            }
            end();
        });
}

std::optional<CProfileActions::Written> CProfileActions::writeRecords(
    IReader &reader, const deviceprofile::Records &profile)
{
    const std::optional<ParamRecord> own
        = reader.readRecord(RecordKind::Network, deviceprofile::recordLength);
    if (!own) {
        postLog(Text::OperationFailed);
        return std::nullopt;
    }
    Written written { { own->lead, profile.device },
        { own->lead, deviceprofile::withOwnMac(profile.network, own->bytes) },
        { own->lead, profile.special } };
    // All three are written whatever one of them answers; a refused one is reported, not
    // passed off as done, and its page is not told it was written.
    written.deviceWritten = reader.writeRecord(RecordKind::Device, written.device);
    written.networkWritten = reader.writeRecord(RecordKind::Network, written.network);
    written.specialWritten = reader.writeRecord(RecordKind::Special, written.special);
    postLog(written.deviceWritten && written.networkWritten && written.specialWritten
            ? Text::OperationSucceeded
            : Text::OperationFailed);
    return written;
}
