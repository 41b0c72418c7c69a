#include "catalogue/files/label_file.h"

namespace indicizza {

const SideFileSource& labelFile() {
  static const SideFileSource file{kLabelFileName, kMaxLabelFileBytes};
  return file;
}

Status loadFieldLabels(FieldLabels& labels, const std::filesystem::path& folder) {
  labels = FieldLabels();
  SideFile file;
  const Status read = readSideFile(kLabelFileName, labelFile().maxBytes, file, folder);
  if (!read.ok()) return read;
  return labelsOfText(file.text, labels);
}

}  // namespace indicizza
