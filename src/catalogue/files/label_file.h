// etichette.txt, the catalogue's labels for people (catalogue/forms/
// field_labels.h), read as every side file is (side_file.h).
#pragma once

#include <filesystem>

#include "base/status.h"
#include "catalogue/files/side_file.h"
#include "catalogue/forms/field_labels.h"

namespace indicizza {

// The side file the labels are made of, with its size limit.
const SideFileSource& labelFile();

// The labels of etichette.txt in `folder` into `labels`; none (every label
// the name itself) when the file is not there. Fails as readSideFile and
// readFieldLabels.
Status loadFieldLabels(FieldLabels& labels, const std::filesystem::path& folder = ".");

}  // namespace indicizza
