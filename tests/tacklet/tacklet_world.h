#pragma once
// The simulated desktop the Tacklet tests run the program in: a 1920 x 1080 screen and the
// program's own resources, with its file named "tacklet".

#include "platform/sim/world.h"
#include "resources.h"

inline platform::sim::World::Options TackletWorld()
{
    platform::sim::World::Options o;
    o.screen = {0, 0, 1920, 1080};
    o.programResources = tacklet_resource_table();
    o.programName = "tacklet";
    return o;
}
