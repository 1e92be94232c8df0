// The installer's 21 command-line options. Other programs of the product
// family start the installer with them; a given option overrides the stamped
// install record.
#pragma once

#include "base/cmdline_parser.h"

struct GlobalConfig;

// Declares the options, in their fixed order, with no help text.
void DeclareInstallOptions(cmdline::parser& parser);

// Copies every option that was given into its configuration field.
// `from-source` is not among them: the install record's reader takes it.
void ParseCmd(GlobalConfig& config);
