#include "platform/render/MeshData.hpp"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <exception>

#include "files/SafeFile.hpp"
#include "platform/render/XModelCheck.hpp"

namespace quadrel::render {
namespace {

ColourValue Colour4(const aiMaterial* m, const char* key, unsigned type, unsigned index,
                    ColourValue fallback) {
  aiColor4D c;
  if (m->Get(key, type, index, c) != AI_SUCCESS) return fallback;
  return ColourValue{c.r, c.g, c.b, c.a};
}

void Collect(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent,
             std::vector<std::vector<std::pair<const aiMesh*, aiMatrix4x4>>>& byMaterial) {
  const aiMatrix4x4 transform = parent * node->mTransformation;
  for (unsigned i = 0; i < node->mNumMeshes; ++i) {
    const aiMesh* mesh = scene->mMeshes[node->mMeshes[i]];
    if (mesh->mMaterialIndex < byMaterial.size())
      byMaterial[mesh->mMaterialIndex].push_back({mesh, transform});
  }
  for (unsigned i = 0; i < node->mNumChildren; ++i)
    Collect(scene, node->mChildren[i], transform, byMaterial);
}

}  // namespace

std::string TexturePath(const std::string& storedName, std::string* error) {
  return SafeTexturePath(storedName, error);
}

bool LoadXMesh(const std::string& fileName, MeshData& out, std::string* error) {
  // Read by us (no blocking, size-limited), checked, then parsed from memory.
  std::vector<uint8_t> bytes;
  if (!files::ReadWholeFile(fileName, files::FileKind::Model, bytes, error)) return false;
  return LoadXMeshFromMemory(bytes.data(), bytes.size(), out, error);
}

bool LoadXMeshFromMemory(const uint8_t* data, size_t size, MeshData& out, std::string* error) {
  if (!CheckXModelText(data, size, error)) return false;
  Assimp::Importer importer;
  const aiScene* scene = nullptr;
  try {
    scene = importer.ReadFileFromMemory(data, size,
                                        aiProcess_Triangulate | aiProcess_ConvertToLeftHanded, "x");
  } catch (const std::exception& e) {  // e.g. bad_alloc: refused, not fatal
    if (error) *error = std::string("the loader failed: ") + e.what();
    return false;
  }
  if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) {
    if (error) *error = importer.GetErrorString();
    return false;
  }
  out = MeshData{};
  std::vector<std::vector<std::pair<const aiMesh*, aiMatrix4x4>>> byMaterial(scene->mNumMaterials);
  Collect(scene, scene->mRootNode, aiMatrix4x4(), byMaterial);

  bool anyNormals = false, anyUv = false;
  for (unsigned mi = 0; mi < scene->mNumMaterials; ++mi) {
    const aiMaterial* am = scene->mMaterials[mi];
    MeshSubset subset;
    Material& mat = subset.material;
    mat.diffuse = Colour4(am, AI_MATKEY_COLOR_DIFFUSE, ColourValue{1, 1, 1, 1});
    mat.ambient = Colour4(am, AI_MATKEY_COLOR_AMBIENT, ColourValue{0, 0, 0, 1});
    mat.specular = Colour4(am, AI_MATKEY_COLOR_SPECULAR, ColourValue{0, 0, 0, 1});
    mat.emissive = Colour4(am, AI_MATKEY_COLOR_EMISSIVE, ColourValue{0, 0, 0, 1});
    float power = 0.0f;
    if (am->Get(AI_MATKEY_SHININESS, power) == AI_SUCCESS) mat.power = power;
    aiString texture;
    if (am->GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS)
      subset.textureName = texture.C_Str();
    subset.firstIndex = static_cast<uint32_t>(out.indices.size());

    for (const auto& [mesh, transform] : byMaterial[mi]) {
      aiMatrix3x3 normalMatrix(transform);
      normalMatrix.Inverse().Transpose();
      const uint32_t base = static_cast<uint32_t>(out.vertices.size());
      for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
        MeshVertex mv{};
        const aiVector3D p = transform * mesh->mVertices[v];
        mv.position[0] = p.x;
        mv.position[1] = p.y;
        mv.position[2] = p.z;
        if (mesh->mNormals) {
          const aiVector3D n = normalMatrix * mesh->mNormals[v];
          mv.normal[0] = n.x;
          mv.normal[1] = n.y;
          mv.normal[2] = n.z;
          anyNormals = true;
        }
        if (mesh->mTextureCoords[0]) {
          mv.uv[0] = mesh->mTextureCoords[0][v].x;
          mv.uv[1] = mesh->mTextureCoords[0][v].y;
          anyUv = true;
        }
        out.vertices.push_back(mv);
      }
      for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        const aiFace& face = mesh->mFaces[f];
        if (face.mNumIndices != 3) continue;
        for (int k = 0; k < 3; ++k) {
          if (face.mIndices[k] >= mesh->mNumVertices) {  // would draw outside the buffer
            if (error) *error = "a face names a vertex the mesh does not have";
            return false;
          }
          out.indices.push_back(base + face.mIndices[k]);
        }
      }
    }
    subset.indexCount = static_cast<uint32_t>(out.indices.size()) - subset.firstIndex;
    out.subsets.push_back(std::move(subset));
  }
  out.hasNormals = anyNormals;
  out.hasTextureCoords = anyUv;
  return true;
}

}  // namespace quadrel::render
