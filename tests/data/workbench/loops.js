function count(list) {
  var n = 0;
  for (var k in list) n++;
  while (n > 10) n--;
  return n;
}
