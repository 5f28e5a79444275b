#pragma once
// The Tacklet program's own resource table, embedded at build time from tacklet.manifest.

#include "platform/resources.h"

extern "C" const PlatformResourceTable* tacklet_resource_table();
