// GearState: the state of the loading gears drawn while a model loads.
#pragma once

struct GearState {
};
