# A scanned-looking tree for the glTF export's tests, as SimpleForest CSV: a
# stem of 24 cylinders leaning and curving, each with a side branch of 6.
BEGIN {
  print "ID,parentID,startX,startY,startZ,endX,endY,endZ,radius,length,segmentID"
  id = 0; x = 0; y = 0; z = 0
  for (s = 0; s < 24; ++s) {
    dx = 0.03 * sin(s * 0.5); dy = 0.02 * cos(s * 0.3); dz = 0.5
    len = sqrt(dx * dx + dy * dy + dz * dz)
    printf "%d,%d,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,0\n", id, (s ? stem : -1), x, y, z, x + dx, y + dy, z + dz, 0.2 - 0.007 * s, len
    stem = id++; x += dx; y += dy; z += dz
    a = s * 2.4; bx = x; by = y; bz = z; parent = stem
    for (b = 0; b < 6; ++b) {
      ex = 0.3 * cos(a); ey = 0.3 * sin(a); ez = 0.12 - 0.03 * b
      len = sqrt(ex * ex + ey * ey + ez * ez)
      printf "%d,%d,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%d\n", id, parent, bx, by, bz, bx + ex, by + ey, bz + ez, 0.05 - 0.006 * b, len, s + 1
      parent = id++; bx += ex; by += ey; bz += ez
    }
  }
}
