// front
