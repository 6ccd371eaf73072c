#include "bgm_loop.h"

namespace sorvane::saver {

CdStep NextCdStep(int16_t repeat, bool stopped, double currentTrack) {
  if (repeat == 0) return stopped ? CdStep::PlayOn : CdStep::Wait;
  if (stopped || currentTrack != static_cast<double>(repeat)) return CdStep::RestartTrack;
  return CdStep::Wait;
}

}  // namespace sorvane::saver
