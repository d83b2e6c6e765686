#pragma once

// The text every stand-in this build makes carries, followed by what it
// stands in for. scripts/package finds it in the files themselves, wherever
// they are given from, and names the package a stand-in: the simulated engine
// opens an unauthenticated test port, so it must never pass for a release.
// host/bundle.cmake writes the same text into the stand-in data, and
// scripts/bundle_folder.py looks for it.
#define LANTERNQUILL_STAND_IN_MARKER "Lanternquill stand-in, not for release: "
