-- Requests for wrk against the local window: the window token in its header
-- and, for a POST, a JSON body. Environment:
--   BOOTSMITH_TOKEN  the token from /api/bootstrap
--   BENCH_METHOD     GET (default) or POST
--   BENCH_BODY       the POST body (default "{}")
wrk.method = os.getenv("BENCH_METHOD") or "GET"
wrk.headers["X-Bootsmith-Token"] = os.getenv("BOOTSMITH_TOKEN") or ""
if wrk.method == "POST" then
  wrk.body = os.getenv("BENCH_BODY") or "{}"
  wrk.headers["Content-Type"] = "application/json"
end

