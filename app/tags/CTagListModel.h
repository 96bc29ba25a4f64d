#pragma once

#include "tag_record.h"
#include "text_keys.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QTime>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The tag list of the five tag pages: one row per tag (or per sighting with merging off).
// Rows hold what the records say (EPC bytes, antenna, RSSI, temperature as numbers); the
// cells' text is made when asked, so only rows in view and exports pay for it. A sighting
// merges into the first row whose EPC matches, found through an index instead of a pass over
// the rows. Records arrive in batches (one inventory answer, one drain of
// active reports): one insertion per batch. Changes only on the user-interface thread.
class CTagListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Number, Time, Epc, Length, Antenna, Count, Rssi, Temperature };

    // What differs between the pages' lists.
    enum class Kind {
        // Answer-mode inventory and writer pages: merging follows the filter check box.
        AnswerMode,
        // The answer-mode page with the temperature column; a merged sighting keeps the
        // last valid reading.
        TemperatureInventory,
        // Active read page: always merges into a table of activeCapacity tags (row i is
        // entry i; a full table grows), counts every record handed over, decodes
        // temperatures without showing them.
        ActiveRead,
        // The active read page with the temperature column; a merged sighting always
        // overwrites it.
        ActiveTemperature,
    };

    static constexpr int activeCapacity = 2500;

    // What one batch did, for the count field, the scroll-into-view and the read rate.
    struct BatchResult {
        int sightings = 0; // records accepted (new rows and merges)
        int newRows = 0;
        int lastNewRow = -1;
    };

    explicit CTagListModel(Kind kind, QObject *parent = nullptr);

    // One accepted record of a batch: the row it went to, the tag (the first row showing its
    // EPC, which names the tag also on lists that do not merge) and what the record says
    // (antenna, EPC, RSSI, temperature as numbers), so watchers never read the cells' text.
    struct Sighting {
        int row = 0;
        int tag = 0;
        tagrecord::TagRecord record;
    };

    // Language texts of the titles of the columns before RSSI, which the text export's
    // header names too.
    static constexpr std::array<Text, Rssi> leadingTitleTexts { Text::RowNumberColumn,
        Text::TimeColumn, Text::EpcColumn, Text::EpcLengthColumn, Text::AntennaColumn,
        Text::SightingCountColumn };
    // The titles of every column, language texts looked up with text; the optional GS1
    // column's title comes last.
    static QStringList columnTitles(const std::function<QString(Text)> &text);

    // Titles as columnTitles() gives them; the GS1 column takes the last one.
    void setColumnTitles(const QStringList &titles);
    // The columns every page of this kind shows, whether the GS1 column is on or off.
    int fixedColumnCount() const;

    // The optional last column: the pure-identity URI of rows whose EPC is a GS1 identity.
    void setGs1Shown(bool shown);
    bool gs1Shown() const { return m_gs1Shown; }
    int gs1Column() const { return fixedColumnCount(); }
    // Column widths for a list `listWidth` pixels wide.
    static QList<int> columnWidths(Kind kind, int listWidth);

    // The filter check box of the answer-mode pages; active lists always merge.
    void setMerging(bool merging);
    bool merging() const { return m_merging; }

    // Adds the record bodies of one batch in order, all seen at `time`.
    BatchResult addRecords(const std::vector<tagrecord::Bytes> &bodies, const QTime &time);
    void clear();

    // Rows (answer-mode pages) or distinct tags (active pages, in step with the rows).
    int tagCount() const { return rowCount(); }
    // Records handed over since the last clear, valid or not (the active pages' second field).
    std::int64_t reportCount() const { return m_reportCount; }
    QString cellText(int row, int column) const;
    Kind kind() const { return m_kind; }
    // Whether a chart or locate window listens to the batches.
    bool isWatched() const;
    // The EPC of a row, as the reader sent it (empty outside the rows).
    const tagrecord::Bytes &epcOf(int row) const;
    // The first row showing the EPC, or -1.
    int firstRowOf(const tagrecord::Bytes &epc) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // After each batch, its sightings in order. Collected only while something listens (a
    // chart or locate window), so a list nobody watches pays nothing for it.
    void sightingsAdded(const std::vector<CTagListModel::Sighting> &sightings);

private:
    struct Row {
        int number = 0;
        QTime time;
        tagrecord::Bytes epc;
        std::uint8_t antenna = 0;
        std::uint8_t rssi = 0;
        std::int64_t count = 1;
        std::optional<float> temperature;
    };

    bool isActive() const;
    bool hasTemperatureColumn() const;
    const tagrecord::RecordRules &rules() const;
    static Row rowOf(const tagrecord::TagRecord &record, const QTime &time);
    void merge(Row &row, const Row &sighting) const;

    Kind m_kind;
    bool m_merging = true;
    bool m_gs1Shown = false;
    QStringList m_titles;
    QString m_gs1Title;
    std::vector<Row> m_rows;
    // EPC bytes -> the first row showing it.
    QHash<QByteArray, int> m_firstRowOf;
    std::int64_t m_reportCount = 0;
};
