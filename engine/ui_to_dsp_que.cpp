#include "engine/ui_to_dsp_que.h"

#include "engine/audio_master.h"

namespace tf {

void ui_to_dsp_que::OnMessageComplete() { master_.RequestDrain(); }

}  // namespace tf
