#pragma once
// How a tray balloon looks: a loss or a low battery needs the carer's attention,
// everything else only informs.

namespace tovira {

enum class BalloonKind { kInformation, kWarning };

}  // namespace tovira
