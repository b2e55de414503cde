// Vector and 4x4 matrix maths for row vectors (p' = p x M), with the builders the game uses.
#pragma once

#include <cstdint>

struct Vec2 {
    float x = 0, y = 0;
};

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

struct Vec4 {
    float x = 0, y = 0, z = 0, w = 0;
};

// m[row][column]; a point is a row vector, so the translation sits in row 3.
struct Matrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    static Matrix identity() { return Matrix{}; }
    bool operator==(const Matrix& other) const;
};

// Degrees to radians, with the single-precision factor the game uses everywhere.
constexpr float kDegToRad = 0.017453292f;

Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(Vec3 a, float s);
float dot(Vec3 a, Vec3 b);
Vec3 cross(Vec3 a, Vec3 b);
float length(Vec3 a);
Vec3 normalize(Vec3 a);

Matrix matrixRotationX(float radians);
Matrix matrixRotationY(float radians);
Matrix matrixRotationZ(float radians);
Matrix matrixScaling(float sx, float sy, float sz);
Matrix matrixTranslation(float x, float y, float z);
// a x b: the transform a acts first.
Matrix matrixMultiply(const Matrix& a, const Matrix& b);
Matrix operator*(const Matrix& a, const Matrix& b);
Matrix matrixLookAtRH(Vec3 eye, Vec3 at, Vec3 up);
// Right-handed perspective with depth mapped to 0..1.
Matrix matrixPerspectiveFovRH(float fovY, float aspect, float zNear, float zFar);
bool matrixInverse(const Matrix& a, Matrix& out);
Matrix matrixTranspose(const Matrix& a);

// (x, y, z, 1) x m.
Vec4 transformPoint(Vec3 p, const Matrix& m);
// (x, y, z, 1) x m divided by w.
Vec3 transformCoord(Vec3 p, const Matrix& m);
// (x, y, z, 0) x m.
Vec3 transformNormal(Vec3 n, const Matrix& m);
