#include "tests/reliability/WindowBatch.h"

#include <QFile>
#include <QString>
#include <stdexcept>

namespace rowvane::reliability {

std::string Rows(int count, int width) {
  std::string text = "id,name,amount\r\n";
  for (int i = 1; i <= count; ++i) {
    text += std::to_string(i) + ",name-" + std::string(static_cast<std::size_t>(width), 'n') +
            std::to_string(i % 97) + "," + std::to_string(i * 7 % 1000) + "\r\n";
  }
  return text;
}

const std::vector<InputSpec>& Batch() {
  static const std::vector<InputSpec> batch{
      {"a.csv", Rows(3, 2), true},         {"b.csv", Rows(20, 4), false},
      {"victim.csv", Rows(1200, 8), true}, {"c.csv", Rows(5, 1), false},
      {"d.csv", Rows(10, 3), true},        {"e.csv", "", false},
      {"big.csv", Rows(170000, 10), true},
  };
  return batch;
}

std::string OutputNameOf(const std::string& input) {
  return input.substr(0, input.rfind('.')) + ".xml";
}

std::string EarlierOutputOf(const std::string& input) {
  return "<XML>\r\nearlier output of " + input + ", to be kept on failure\r\n</XML>";
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size())) {
    throw std::runtime_error("cannot write " + path);
  }
}

void CopyBatchInto(const std::string& folder) {
  for (const InputSpec& input : Batch()) {
    WriteBytes(folder + "/" + input.name, input.bytes);
  }
}

}  // namespace rowvane::reliability
