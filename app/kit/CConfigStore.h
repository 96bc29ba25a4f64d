#pragma once

#include "profile/CIniFile.h"
#include "reader_transport.h"

#include <QString>
#include <QStringList>

#include <array>

// SystemConfig.ini, section [SystemConfig]: the settings of the last connection, the skin, the
// language choice and the fixed lists (language names, frequency presets, output protocols).
//
// Construction creates the file with the eighteen defaults when it is missing; an existing file
// is never completed (a missing key reads as 0 or "default"). load() reads everything into
// memory once; the setters write their key to the file at once and update the memory copy.
class CConfigStore {
public:
    static constexpr int listCapacity = 48;
    static constexpr qsizetype maxTextLength = 259;
    static inline const QString section = QStringLiteral("SystemConfig");
    static inline const QString fileName = QStringLiteral("SystemConfig.ini");

    // firstStartLanguage: the language selected in a file created now, when it is one of the
    // default language names; otherwise the default selection.
    explicit CConfigStore(
        const QString &configDirectory, const QString &firstStartLanguage = QString());

    QString filePath() const;

    // Direct file access (private-profile semantics).
    int readInt(const QString &key) const;
    QString readText(const QString &key) const;
    bool writeText(const QString &key, const QString &value);
    bool writeInt(const QString &key, int value);

    // The log file's bound, read from the file at each call. Neither key is among the
    // first-start keys; a missing key or a value that does not start with a number gives the
    // default. "LogMaxSize" is bytes, or KiB, MiB, GiB with a K, M or G after the number
    // ("16M"); 0 means unbounded. "LogKeep" is the number of rotated files kept.
    qint64 logMaxSize(qint64 defaultSize) const;
    int logKeep(int defaultKeep) const;

    // Reads every key into memory. Counts are clamped to 0..listCapacity.
    void load();

    // "Transport" as read; a stored number other than 0, 1 and 2 reads as serial.
    Transport transport() const { return m_transport; }
    int comNum() const { return m_comNum; }
    int comBaud() const { return m_comBaud; }
    int usbNum() const { return m_usbNum; }
    const QString &devIp() const { return m_devIp; }
    int devPort() const { return m_devPort; }
    const QString &skinFile() const { return m_skinFile; }
    // Whether the tag lists show their GS1 column ("Gs1Column"; missing reads as off).
    bool gs1Column() const { return m_gs1Column; }

    void setTransport(Transport transport);
    void setComNum(int position);
    void setComBaud(int position);
    void setUsbNum(int position);
    void setDevIp(const QString &address);
    // Stored as typed; the memory copy is its leading decimal number.
    void setDevPortText(const QString &portText);
    void setSkinFile(const QString &fileName);
    void setGs1Column(bool shown);

    // What a successful Open remembers, in the order the keys are written.
    void rememberSerialOpen(int comNum, int comBaud);
    void rememberUsbOpen(int usbNum);
    void rememberNetworkOpen(const QString &address, const QString &portText);

    // Position of the current language as configured (may lie outside the list).
    int languagePosition() const { return m_languagePosition; }
    // Changes the position in memory only; saveLanguagePosition() writes it.
    void setLanguagePosition(int position) { m_languagePosition = position; }
    void saveLanguagePosition();
    // Name of the language file to load: the name at the language position, or the first
    // language name when the position lies outside the list (an out-of-range position must not
    // leave the program without captions).
    QString currentLanguageName() const;

    QStringList languageNames() const;
    // Lists these names (at most listCapacity) instead of the configured ones, in memory only:
    // the file keeps its keys, and the language position indexes the new list.
    void useLanguageNames(const QStringList &names);
    QStringList frequencyPresets() const;
    QStringList protocols() const;
    int languageCount() const { return m_languageCount; }
    int frequencyPresetCount() const { return m_frequencyPresetCount; }
    int protocolCount() const { return m_protocolCount; }

private:
    using Slots = std::array<QString, listCapacity>;

    void writeDefaults(const QString &firstStartLanguage);
    int readCount(const QString &key) const;
    void readList(const QString &keyPrefix, int count, Slots &entries) const;
    static QStringList firstSlots(const Slots &entries, int count);

    CIniFile m_file;
    Transport m_transport = Transport::Serial;
    int m_comNum = 0;
    int m_comBaud = 0;
    int m_usbNum = 0;
    QString m_devIp;
    int m_devPort = 0;
    QString m_skinFile;
    bool m_gs1Column = false;
    int m_languagePosition = 0;
    int m_languageCount = 0;
    int m_frequencyPresetCount = 0;
    int m_protocolCount = 0;
    Slots m_languageNames;
    Slots m_frequencyPresets;
    Slots m_protocols;
};
