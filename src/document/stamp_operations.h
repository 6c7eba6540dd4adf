#pragma once

#include "document/operation_table.h"

// The driver's operations of blur and rubber stamps, on the document's picture and blocks.
// Each is true when it did its work.

// 'B': the document's blur from the picture's bytes into the real picture (kinds up to 5),
// then in every case the real picture rounded into the picture.
bool BlurOperation(COperationContext& context);
// 'D': the Fourier data files of the Good, the Blurred and the document's own picture made
// sure of, then Input * Good / Blurred transformed back into the picture, which is measured.
bool DeconvolveOperation(COperationContext& context);
// 'S': the stamp of Good / Blurred written beside the Blurred file (its base name + ".stp");
// the picture is not changed.
bool MakeStampOperation(COperationContext& context);
// 'U': the picture convolved with the Blurred file's stamp, trimmed in "Dialog Stamp Cut".
bool UseStampOperation(COperationContext& context);
// 'W': the Blurred file's stamp shown as a grey picture.
bool ShowStampOperation(COperationContext& context);
// 'R': the document's restoration (m_restore) of the picture in place, what it did kept in
// m_restoreOutcome; the real picture then takes the restored picture's values.
bool RestoreOperation(COperationContext& context);
