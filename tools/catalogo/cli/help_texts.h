// The longer texts of catalogo's help: what each command's --help shows
// after its options.
#pragma once

namespace indicizza::catalogo {

extern const char* const kMainHelpFooter;
extern const char* const kSearchHelpFooter;
extern const char* const kShowHelpFooter;
extern const char* const kCreateHelpFooter;
extern const char* const kEncodeHelpFooter;
extern const char* const kDecodeHelpFooter;
extern const char* const kExportHelpFooter;
extern const char* const kVerifyHelpFooter;
extern const char* const kHelpHelpFooter;

}  // namespace indicizza::catalogo
