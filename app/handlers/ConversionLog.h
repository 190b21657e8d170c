#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/Conversion.h"

namespace rowvane::app {

/// One file of a run, as the conversion log shows it.
struct LoggedFile {
  QString input;
  QString output;  ///< where the output is (or would have been) written; may be empty
  QString result;  ///< one word: "converted", "failed", "stopped" or "skipped"
  QString reason;  ///< why it was not converted, in full; empty when it was
  bool converted = false;
  bool failed = false;
  std::optional<std::uint64_t> records;
  std::optional<std::uint64_t> outputBytes;
  double seconds = 0.0;
  QStringList warnings;

  /// What the engine reported for `input`, which took `seconds`.
  static LoggedFile Of(const QString& input, const rowvane::FileOutcome& outcome, double seconds);
  /// `input`, abandoned by "Stop Converting" after `seconds`: nothing written.
  static LoggedFile Stopped(const QString& input, double seconds);
};

/// Every file of this session's runs, newest run first and each run's files
/// in the order it converted them, as a table: input, output, result,
/// records, size, time, warnings. The input and the output show as file
/// names, their folders in the tooltips; the result as one word, the reason
/// in its tooltip and in details().
class ConversionLog : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { Input, Output, Result, Records, Size, Time, Warnings, ColumnCount };

  using QAbstractTableModel::QAbstractTableModel;

  /// A run starts: its files go above those of every earlier run.
  void beginRun();
  /// The run's next file.
  void add(LoggedFile file);
  /// The run has ended: tells how many of its files failed and how many
  /// warnings its files gave.
  void endRun();

  const LoggedFile& file(int row) const { return m_files.at(static_cast<std::size_t>(row)); }

  /// All that is known of the file in `row`, in plain sentences: its paths,
  /// its result with the reason, its warnings.
  QString details(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 signals:
  void runBegun();
  void runLogged(int failures, int warnings);

 private:
  QString textOf(const LoggedFile& file, int column) const;
  QString toolTipOf(const LoggedFile& file, int column) const;

  std::vector<LoggedFile> m_files;
  // Where the running run's next file goes, and what it has counted so far.
  std::size_t m_next = 0;
  int m_failures = 0;
  int m_warnings = 0;
};

}  // namespace rowvane::app
