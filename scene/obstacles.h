// The obstacle field: the cone and sphere meshes, moving, drawing and touching the 250 cones.
#pragma once

bool createSceneMeshes();
bool drawObstacles(bool moving);
bool touchesCone(float x, float y, float z, float radius, float height, float groundLevel);
void releaseSceneMeshes();
