// The flux engine's peer: Embree 3 through its C API, tracing the engine's own source rays
// (Model::Transport::sourceRay) against the triangulated surface of the trench scene, one ray
// at a time on one thread, to the first hit, as the engine's map with sticking 1 traces them.
// Prints {"rays": N, "hits": H, "triangles": T, "seconds": S, "cpu_seconds": C,
// "rays_per_second": R} for bench/peers.py.
//
//     cellvane_embree_flux [RAYS_PER_SURFACE_CELL]
#include "Model/Transport/fluxengine.h"
#include "processusage.h"
#include "trenchscene.h"

#include <embree3/rtcore.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Vertex {
    float x, y, z;
};
struct Triangle {
    unsigned a, b, c;
};

// Two triangles per exposed face of every surface cell, as the engine lists them (closed sides,
// the space above the volume open).
void triangulate(const Model::Transport::SurfaceFlux& surface, std::vector<Vertex>& vertices,
                 std::vector<Triangle>& triangles, const int size[3]) {
    static const int corners[6][4][3] = {
        {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
        {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, {{0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}},
        {{0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}}, {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}},
    };
    for (std::size_t k = 0; k < surface.size(); ++k) {
        const auto cell = surface.cell(k);
        const int x = int(cell / (std::size_t(size[1]) * size[2]));
        const int y = int(cell / std::size_t(size[2]) % std::size_t(size[1]));
        const int z = int(cell % std::size_t(size[2]));
        for (int f = 0; f < 6; ++f) {
            if (!(surface.exposedFaces(k) >> f & 1u))
                continue;
            const unsigned first = unsigned(vertices.size());
            for (const auto& c : corners[f])
                vertices.push_back({float(x + c[0]), float(y + c[1]), float(z + c[2])});
            triangles.push_back({first, first + 1, first + 2});
            triangles.push_back({first, first + 2, first + 3});
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    const int raysPerCell = argc > 1 ? std::atoi(argv[1]) : 64;
    auto volume = bench::trenchScene();
    const int size[3] = {int(volume->getSizeX()), int(volume->getSizeY()), int(volume->getSizeZ())};
    Model::Transport::FluxSettings settings;
    settings.raysPerCell = 1;
    // One ray per cell lists the surface; its exposed faces are what Embree is given.
    const Model::Transport::SurfaceFlux surface =
        Model::Transport::FluxEngine::compute(*volume, settings);
    std::vector<Vertex> vertices;
    std::vector<Triangle> triangles;
    triangulate(surface, vertices, triangles, size);

    RTCDevice device = rtcNewDevice("threads=1");
    RTCScene scene = rtcNewScene(device);
    RTCGeometry mesh = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
    auto* v = static_cast<Vertex*>(rtcSetNewGeometryBuffer(
        mesh, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, sizeof(Vertex), vertices.size()));
    std::copy(vertices.begin(), vertices.end(), v);
    auto* t = static_cast<Triangle*>(rtcSetNewGeometryBuffer(
        mesh, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, sizeof(Triangle), triangles.size()));
    std::copy(triangles.begin(), triangles.end(), t);
    rtcCommitGeometry(mesh);
    rtcAttachGeometry(scene, mesh);
    rtcReleaseGeometry(mesh);
    rtcCommitScene(scene);

    const std::uint64_t rays = std::uint64_t(raysPerCell) * surface.size();
    std::uint64_t hits = 0;
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = bench::processCpuSeconds();
    for (std::uint64_t i = 0; i < rays; ++i) {
        const Model::Transport::SourceRay ray = Model::Transport::sourceRay(settings, size, i);
        RTCRayHit rh{};
        rh.ray.org_x = float(ray.origin[0]);
        rh.ray.org_y = float(ray.origin[1]);
        rh.ray.org_z = float(ray.origin[2]);
        rh.ray.dir_x = float(ray.direction[0]);
        rh.ray.dir_y = float(ray.direction[1]);
        rh.ray.dir_z = float(ray.direction[2]);
        rh.ray.tnear = 0.f;
        rh.ray.tfar = 1e30f;
        rh.ray.mask = ~0u;
        rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
        rtcIntersect1(scene, &context, &rh);
        hits += rh.hit.geomID != RTC_INVALID_GEOMETRY_ID ? 1 : 0;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuSeconds = bench::processCpuSeconds() - cpuStart;
    std::printf("{\"rays\": %llu, \"hits\": %llu, \"triangles\": %zu, \"seconds\": %.6f, "
                "\"cpu_seconds\": %.6f, \"rays_per_second\": %.1f}\n",
                static_cast<unsigned long long>(rays), static_cast<unsigned long long>(hits),
                triangles.size(), seconds, cpuSeconds, double(rays) / seconds);
    rtcReleaseScene(scene);
    rtcReleaseDevice(device);
    return 0;
}
