// The plane model: the one mesh read from the X file, with its materials, textures and bounding
// radius, drawn subset by subset.
#include "aircraft/plane_model.h"

#include <string>
#include <utility>

#include "app/messages.h"
#include "gfx/model_file.h"
#include "gfx/texture_file.h"

int PlaneModel::load(GraphicsDevice& device) {
    release();

    ModelData model;
    std::string error;
    if (!fileName || !loadModelFromX(fileName, model, error)) {
        showMessage("Ｘファイルの読み込みに失敗しました", error);
        return 0;
    }

    materialCount = static_cast<uint32_t>(model.materials.size());
    materials.resize(materialCount);
    textures.resize(materialCount);
    for (uint32_t i = 0; i < materialCount; ++i) {
        materials[i] = model.materials[i].material;
        // The scene's ambient level then tints each part in its own colour.
        materials[i].ambient = materials[i].diffuse;
        // Named as the file names it: a relative name is taken from the current directory, not
        // from the model's folder. A texture that will not load leaves the part untextured.
        textures[i] = nullptr;
        if (!model.materials[i].textureFile.empty())
            textures[i] = createTextureFromFile(device, model.materials[i].textureFile);
    }

    // The size comes from the vertices as the file gives them, before any conversion.
    boundingRadius = computeBoundingRadius(model.mesh.vertices);

    if (model.mesh.fvf != kFvfPositionNormalTex) {
        // Converted to position, normal and one texture pair: what the file lacks is zero, and
        // the normals are worked out from the faces.
        if (!(model.mesh.fvf & kFvfTex1))
            for (MeshVertex& v : model.mesh.vertices) v.u = v.v = 0;
        model.mesh.fvf = kFvfPositionNormalTex;
        computeNormals(model.mesh);
    }
    mesh = device.createMesh(std::move(model.mesh));
    return 1;
}

int PlaneModel::draw(GraphicsDevice& device) const {
    if (!mesh)
        return 0;
    for (uint32_t i = 0; i < materialCount; ++i) {
        device.setMaterial(materials[i]);
        device.setTexture(0, textures[i].get());
        mesh->drawSubset(i);
    }
    return 1;
}

void PlaneModel::release() {
    materials.clear();
    textures.clear();
    mesh.reset();
    materialCount = 0;
}
