#pragma once
// The Absolute Salinity Anomaly Ratio atlas of TEOS-10, generated when the project is built
// (tools/extract_saar_atlas.py). Indexing: DepthIndex[j + i*Ny] and Ratio[k + Nz*(j + i*Ny)] for
// longitude i, latitude j and pressure level k. Nodes without water hold NoWater.

namespace marevo::teos10::atlas {

inline constexpr int Nx = 91; // longitudes 0, 4 .. 360
inline constexpr int Ny = 45; // latitudes -86, -82 .. 90
inline constexpr int Nz = 45; // pressure levels from 0 dbar
inline constexpr double NoWater = 9e90;

extern const double Longitudes[Nx];
extern const double Latitudes[Ny];
extern const double Pressures[Nz];
// The number of pressure levels holding water at a node (1-based), NoWater on land.
extern const double DepthIndex[Nx * Ny];
extern const double Ratio[Nx * Ny * Nz];

} // namespace marevo::teos10::atlas
