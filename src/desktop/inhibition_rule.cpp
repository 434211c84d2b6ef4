#include "desktop/inhibition_rule.h"

Inhibition inhibitionFor(const PlaybackFacts &facts) {
    if (!facts.loaded || !facts.playing || facts.failed)
        return Inhibition::none;
    return facts.video ? Inhibition::idle : Inhibition::suspend;
}
