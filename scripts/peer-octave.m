% A peer for scripts/model-quality.sh: Octave's arx or n4sid on a data file of the program's
% format (inputs first, the output last), orders chosen by a hold-out inside the estimation
% rows (fit on their first 70 %, simulate from rest, score the last 30 %), the chosen one
% refitted on all estimation rows and judged on the validation rows. Prints "fit <percent>".
%   octave-cli scripts/peer-octave.m FILE arx|n4sid VALIDATION_PERCENT
pkg load control
args = argv();
data = dlmread(args{1}, "\t");
method = args{2};
total = rows(data);
estimation = total - floor(total * str2double(args{3}) / 100);
data = data - mean(data(1:estimation, :), 1);
u = data(:, 1:end-1);
y = data(:, end);
m = columns(u);
part = floor(estimation * 0.7);

function sys = fitted(y, u, method, order, nk)
  dat = iddata(y, u, 1);
  if strcmp(method, "arx")
    sys = arx(dat, "na", order, "nb", order * ones(1, columns(u)), "nk", nk);
  else
    sys = n4sid(dat, order);
  end
  % The measured inputs' part; the noise channels are left out.
  sys = sys(:, 1:columns(u));
end

function e = simerr(sys, y, u, from, to)
  s = lsim(sys, u(1:to, :));
  e = sum((y(from:to) - s(from:to)) .^ 2);
  if ! isfinite(e)
    e = Inf;
  end
end

if strcmp(method, "arx")
  structures = [kron((1:4)', ones(4, 1)), repmat((0:3)', 4, 1)];
else
  structures = [(2:8)', zeros(7, 1)];
end
best = Inf;
chosen = structures(1, :);
for k = 1:rows(structures)
  try
    sys = fitted(y(1:part), u(1:part, :), method, structures(k, 1), structures(k, 2));
    e = simerr(sys, y, u, part + 1, estimation);
    if e < best
      best = e;
      chosen = structures(k, :);
    end
  catch
  end
end
sys = fitted(y(1:estimation), u(1:estimation, :), method, chosen(1), chosen(2));
s = lsim(sys, u);
v = y(estimation+1:end);
printf("fit %.2f\n", 100 * (1 - norm(v - s(estimation+1:end)) / norm(v - mean(v))));
